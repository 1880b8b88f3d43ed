#include "publish/PublishTarget.h"

#include "platform/Error.h"
#include "platform/Text.h"

#include <algorithm>

// Made by the build from the targets' folders (PublishTargetList.cpp.in).
std::vector<const TPublishTarget*> RegisteredPublishTargets();

const std::vector<const TPublishTarget*>& PublishTargets() {
    static const std::vector<const TPublishTarget*> targets = [] {
        std::vector<const TPublishTarget*> list = RegisteredPublishTargets();
        std::stable_sort(
            list.begin(), list.end(),
            [](const TPublishTarget* a, const TPublishTarget* b) { return a->Order < b->Order; });
        return list;
    }();
    return targets;
}

const TPublishTarget* FindPublishTarget(const std::string& name) {
    for (const TPublishTarget* target : PublishTargets())
        if (name == target->Name)
            return target;
    return nullptr;
}

std::string PublishTargetNames(const char* lastJoin) {
    const auto& targets = PublishTargets();
    std::string names;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (i > 0)
            names.append(i + 1 == targets.size() ? lastJoin : ", ");
        names.append(targets[i]->Name);
    }
    return names;
}

std::optional<TSiteChanges> TSitePublisher::Compare(const std::string&) {
    return std::nullopt;
}

std::unique_ptr<TTransport> MakeTransport(const TTransportSettings& settings) {
    const TPublishTarget* target = FindPublishTarget(settings.Protocol);
    if (!target)
        throw TError("The protocol \"" + ControlCharactersShown(settings.Protocol) +
                     "\" is not one of " + PublishTargetNames(" and ") + ".");
    if (!target->MakeTransport)
        throw TError(std::string(target->Name) + " publishes the whole site at once, not file by "
                                                 "file.");
    return target->MakeTransport(settings);
}

bool IsTransientFailure(const TTransportError& error, const std::string& protocol) {
    const TPublishTarget* target = FindPublishTarget(protocol);
    if (target && target->IsTransient)
        return target->IsTransient(error);
    return IsTransientReply(error);
}
