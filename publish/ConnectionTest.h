#pragma once

// The connection test of the publish dialog and of corvane-cli connect: connects to the
// server, logs in and changes to the folder as a publish run would, uploads nothing, and
// reports in plain words what works and what does not.

#include "publish/ConnectionReport.h"
#include "publish/PublishTarget.h"
#include "publish/Transport.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TConnectionTest {
  public:
    // folder: the record's FOLDER; blank (after trimming) for none.
    TConnectionTest(TTransportSettings settings, std::string folder);

    TConnectionReport Run();
    // Ends the test under way (any thread, a signal handler).
    void Cancel() noexcept;

    std::function<std::unique_ptr<TTransport>(const TTransportSettings&)> TransportMaker =
        MakeTransport;
    std::function<void(const std::string&)> OnLog;

  private:
    TTransportSettings FSettings;
    std::string FFolder;
    std::unique_ptr<TTransport> FTransport;
    std::atomic<TTransport*> FActive{nullptr};
    std::atomic<bool> FCancelled{false};
};
