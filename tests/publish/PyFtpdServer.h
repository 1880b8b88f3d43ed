#pragma once

// A real FTP server for the tests: pyftpdlib on 127.0.0.1, on a port the system chooses,
// with one user whose home is a given folder. It ends by itself after its lifetime, whatever
// happens to the test, and is stopped by its process id when the object goes.

#include "TestSupport.h"
#include "publish/ChildProcess.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace pyftpd {

// The server ends by itself after this many seconds.
constexpr int ServerLifetimeSeconds = 120;

inline const char* const ServerScript = R"(import json, logging, os, signal, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

home, user, password, lifetime = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
options = json.loads(sys.argv[5])
signal.alarm(lifetime)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm="elradfmwMT")
base = FTPHandler
if options.get("certfile"):
    from pyftpdlib.handlers import TLS_FTPHandler
    base = TLS_FTPHandler
class Handler(base):
    pass
if options.get("certfile"):
    Handler.certfile = options["certfile"]
    Handler.keyfile = options["keyfile"]
    Handler.tls_control_required = options.get("tls_required", False)
    Handler.tls_data_required = options.get("tls_required", False)
if options.get("refuse_passive"):
    def refuse(self, line):
        self.respond("502 Passive mode is not offered here.")
    Handler.ftp_PASV = refuse
    Handler.ftp_EPSV = refuse
if options.get("rename_keeps"):
    base_rnto = Handler.ftp_RNTO
    def rename_keeps(self, path):
        if self._rnfr and self._rnfr != path and os.path.exists(path):
            self._rnfr = None
            self.respond("550 File exists.")
            return
        return base_rnto(self, path)
    Handler.ftp_RNTO = rename_keeps
if options.get("cut_once"):
    cut = {"marker": options["cut_once"]}
    def cut_once(self, file):
        if cut["marker"] and cut["marker"] in os.path.basename(file):
            cut["marker"] = None
            with open(file, "r+b") as f:
                f.truncate(max(os.path.getsize(file) - 1, 0))
    Handler.on_file_received = cut_once
if options.get("fold_case"):
    from pyftpdlib.filesystems import AbstractedFS
    class FoldingFS(AbstractedFS):
        # A name that is not there reaches the entry spelt so but for case, as on Windows.
        def ftp2fs(self, ftppath):
            path = AbstractedFS.ftp2fs(self, ftppath)
            folder, name = os.path.split(path)
            if name and not os.path.lexists(path) and os.path.isdir(folder):
                for entry in os.listdir(folder):
                    if entry.lower() == name.lower():
                        return os.path.join(folder, entry)
            return path
    Handler.abstracted_fs = FoldingFS
if options.get("masquerade"):
    Handler.masquerade_address = options["masquerade"]
handler = Handler
handler.authorizer = authorizer
# A thread per connection: the single-threaded server of pyftpdlib 1.5.7 loses active-mode
# data connections when several sessions transfer at once (a PORT or STOR left unanswered
# until the client's read timeout), which Python's own ftplib shows as well.
server = ThreadedFTPServer(("127.0.0.1", 0), handler)
print(server.address[1], flush=True)
sys.stderr = open(os.devnull, "w")
logging.basicConfig(level=logging.CRITICAL, stream=sys.stderr)
server.serve_forever(timeout=0.2)
)";

} // namespace pyftpd

// How the server is to behave beyond plain FTP.
struct TPyFtpdOptions {
    // FTPS (explicit, AUTH TLS) with this certificate and key; plain FTP when empty.
    std::string CertFile;
    std::string KeyFile;
    // With FTPS: plain control and data connections refused.
    bool TlsRequired = false;
    // PASV and EPSV answered 502.
    bool RefusePassive = false;
    // The address that the 227 reply names instead of the server's own.
    std::string Masquerade;
    // RNTO onto an existing file refused with 550, as some servers do.
    bool RenameKeeps = false;
    // The first file received whose name holds this text loses its last byte.
    std::string CutOnce;
    // Names that differ only in case are one file, as on Windows.
    bool FoldCase = false;

    std::string Json() const {
        std::string json = "{";
        auto add = [&](const std::string& item) {
            if (json.size() > 1)
                json += ", ";
            json += item;
        };
        if (!CertFile.empty()) {
            add("\"certfile\": \"" + CertFile + "\"");
            add("\"keyfile\": \"" + KeyFile + "\"");
        }
        if (TlsRequired)
            add("\"tls_required\": true");
        if (RefusePassive)
            add("\"refuse_passive\": true");
        if (!Masquerade.empty())
            add("\"masquerade\": \"" + Masquerade + "\"");
        if (RenameKeeps)
            add("\"rename_keeps\": true");
        if (FoldCase)
            add("\"fold_case\": true");
        if (!CutOnce.empty())
            add("\"cut_once\": \"" + CutOnce + "\"");
        return json + "}";
    }
};

// The first python3 that has pyftpdlib (and, with tls, pyOpenSSL for its TLS handler), or
// empty (the tests that need it are skipped).
inline std::string PythonWithPyftpdlib(bool tls = false) {
    static const std::string plain = [] {
        for (const char* python : {"python3", "/usr/bin/python3"}) {
            TProcessResult r = RunProcess({python, "-c", "import pyftpdlib"}, "", 20000);
            if (r.ExitCode == 0)
                return std::string(python);
        }
        return std::string();
    }();
    if (!tls)
        return plain;
    static const std::string withTls = [] {
        for (const char* python : {"python3", "/usr/bin/python3"}) {
            TProcessResult r =
                RunProcess({python, "-c",
                            "import pyftpdlib, OpenSSL; from pyftpdlib.handlers import "
                            "TLS_FTPHandler"},
                           "", 20000);
            if (r.ExitCode == 0)
                return std::string(python);
        }
        return std::string();
    }();
    return withTls;
}

class TPyFtpdServer {
  public:
    // Starts the server for user with password, whose home is the existing folder home; the
    // script is written into scriptFolder. Port() is 0 when it did not start.
    TPyFtpdServer(const std::string& python, const std::string& scriptFolder,
                  const std::string& home, const std::string& user, const std::string& password,
                  int lifetimeSeconds = pyftpd::ServerLifetimeSeconds,
                  const TPyFtpdOptions& options = {}) {
        const std::string script = scriptFolder + "/server.py";
        WriteFileBytes(script, pyftpd::ServerScript);
        FProcess = std::make_unique<TServerProcess>(
            std::vector<std::string>{python, script, home, user, password,
                                     std::to_string(lifetimeSeconds), options.Json()},
            20000);
        FPort = std::atoi(FProcess->FirstLine().c_str());
    }

    int Port() const { return FPort; }

  private:
    std::unique_ptr<TServerProcess> FProcess;
    int FPort = 0;
};
