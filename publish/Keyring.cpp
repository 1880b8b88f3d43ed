#include "publish/Keyring.h"

#include "platform/Text.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace {

const SecretSchema* PublishSchema() {
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = TKeyring::SchemaName;
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"protocol", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"host", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[2] = {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER};
        made.attributes[3] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &schema;
}

// Why there is no session bus to ask (or it is not to be asked), or empty when there may be
// one. Without an address,
// the bus of the user's session is the socket "bus" in XDG_RUNTIME_DIR; anything else would
// have GLib start a bus of its own (autolaunch), which is not wanted here.
std::string NoSessionBus() {
    if (const char* off = std::getenv(TKeyring::OffVariable); off && std::string(off) == "1")
        return std::string("the keyring is not used (") + TKeyring::OffVariable + "=1)";
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return {};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 &&
        S_ISSOCK(st.st_mode))
        return {};
    return "there is no keyring: no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
}

TKeyringAnswer Answer(TKeyringStatus status, std::string reason = {}) {
    TKeyringAnswer answer;
    answer.Status = status;
    answer.Reason = std::move(reason);
    return answer;
}

// The answer for a call that failed with error (which is freed).
TKeyringAnswer FromError(GError* error) {
    const std::string message = error->message ? error->message : "no account of the failure";
    const bool noService =
        error->domain == G_IO_ERROR ||
        (error->domain == G_DBUS_ERROR &&
         (error->code == G_DBUS_ERROR_SERVICE_UNKNOWN ||
          error->code == G_DBUS_ERROR_NAME_HAS_NO_OWNER || error->code == G_DBUS_ERROR_NO_SERVER ||
          error->code == G_DBUS_ERROR_DISCONNECTED || error->code == G_DBUS_ERROR_SPAWN_FAILED ||
          error->code == G_DBUS_ERROR_SPAWN_EXEC_FAILED ||
          error->code == G_DBUS_ERROR_SPAWN_CHILD_EXITED ||
          error->code == G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND));
    const bool locked = error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED;
    g_error_free(error);
    if (noService)
        return Answer(TKeyringStatus::NoKeyring,
                      "there is no keyring: the desktop's Secret Service cannot be reached (" +
                          message + ")");
    if (locked)
        return Answer(TKeyringStatus::Failed, "the keyring is locked (" + message + ")");
    return Answer(TKeyringStatus::Failed, "the keyring refused (" + message + ")");
}

// One call on a thread of its own, given up (and cancelled) after timeoutMs: a bus that
// takes the connection and never answers cannot hold the caller.
struct TCall {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    TKeyringAnswer Result;
    GCancellable* Cancellable = g_cancellable_new();
    TCall() = default;
    TCall(const TCall&) = delete;
    TCall& operator=(const TCall&) = delete;
    ~TCall() { g_object_unref(Cancellable); }
};

TKeyringAnswer Bounded(int timeoutMs, std::function<TKeyringAnswer(GCancellable*)> work) {
    if (std::string why = NoSessionBus(); !why.empty())
        return Answer(TKeyringStatus::NoKeyring, why);
    auto call = std::make_shared<TCall>();
    std::thread([call, work = std::move(work)] {
        TKeyringAnswer result = work(call->Cancellable);
        {
            std::lock_guard lock(call->Mutex);
            call->Result = std::move(result);
            call->Finished = true;
        }
        call->Done.notify_all();
    }).detach();
    std::unique_lock lock(call->Mutex);
    auto finished = [&call] { return call->Finished; };
    if (call->Done.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished))
        return std::move(call->Result);
    g_cancellable_cancel(call->Cancellable);
    return Answer(TKeyringStatus::NoKeyring,
                  "there is no keyring: the session bus did not answer within " +
                      SecondsText(timeoutMs));
}

std::string Label(const TKeyringKey& key) {
    return "Corvane publishing password for " + key.User + "@" + key.Host + ":" +
           std::to_string(key.Port) + " (" + key.Protocol + ")";
}

} // namespace

TKeyringAnswer TKeyring::Store(const TKeyringKey& key, const std::string& password) {
    return Bounded(FTimeout, [key, password](GCancellable* cancellable) {
        GError* error = nullptr;
        const gboolean stored = secret_password_store_sync(
            PublishSchema(), SECRET_COLLECTION_DEFAULT, Label(key).c_str(), password.c_str(),
            cancellable, &error, "protocol", key.Protocol.c_str(), "host", key.Host.c_str(), "port",
            static_cast<int>(key.Port), "user", key.User.c_str(), nullptr);
        if (error)
            return FromError(error);
        return stored ? Answer(TKeyringStatus::Done)
                      : Answer(TKeyringStatus::Failed, "the keyring did not store the password");
    });
}

TKeyringAnswer TKeyring::Find(const TKeyringKey& key) {
    return Bounded(FTimeout, [key](GCancellable* cancellable) {
        GError* error = nullptr;
        gchar* found = secret_password_lookup_sync(PublishSchema(), cancellable, &error, "protocol",
                                                   key.Protocol.c_str(), "host", key.Host.c_str(),
                                                   "port", static_cast<int>(key.Port), "user",
                                                   key.User.c_str(), nullptr);
        if (error) {
            secret_password_free(found);
            return FromError(error);
        }
        if (!found)
            return Answer(TKeyringStatus::NotFound);
        TKeyringAnswer answer = Answer(TKeyringStatus::Done);
        answer.Password = found;
        // libsecret wipes the memory it frees.
        secret_password_free(found);
        return answer;
    });
}

TKeyringAnswer TKeyring::Delete(const TKeyringKey& key) {
    return Bounded(FTimeout, [key](GCancellable* cancellable) {
        GError* error = nullptr;
        const gboolean removed = secret_password_clear_sync(
            PublishSchema(), cancellable, &error, "protocol", key.Protocol.c_str(), "host",
            key.Host.c_str(), "port", static_cast<int>(key.Port), "user", key.User.c_str(),
            nullptr);
        if (error)
            return FromError(error);
        return Answer(removed ? TKeyringStatus::Done : TKeyringStatus::NotFound);
    });
}
