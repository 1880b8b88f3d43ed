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

inline const char* const ServerScript = R"(import logging, os, signal, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

home, user, password, lifetime = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
signal.alarm(lifetime)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm="elradfmwMT")
handler = FTPHandler
handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), handler)
print(server.address[1], flush=True)
sys.stderr = open(os.devnull, "w")
logging.basicConfig(level=logging.CRITICAL, stream=sys.stderr)
server.serve_forever(timeout=0.2)
)";

} // namespace pyftpd

// The first python3 that has pyftpdlib, or empty (the tests that need it are skipped).
inline std::string PythonWithPyftpdlib() {
    static const std::string found = [] {
        for (const char* python : {"python3", "/usr/bin/python3"}) {
            TProcessResult r = RunProcess({python, "-c", "import pyftpdlib"}, "", 20000);
            if (r.ExitCode == 0)
                return std::string(python);
        }
        return std::string();
    }();
    return found;
}

class TPyFtpdServer {
  public:
    // Starts the server for user with password, whose home is the existing folder home; the
    // script is written into scriptFolder. Port() is 0 when it did not start.
    TPyFtpdServer(const std::string& python, const std::string& scriptFolder,
                  const std::string& home, const std::string& user, const std::string& password,
                  int lifetimeSeconds = pyftpd::ServerLifetimeSeconds) {
        const std::string script = scriptFolder + "/server.py";
        WriteFileBytes(script, pyftpd::ServerScript);
        FProcess = std::make_unique<TServerProcess>(
            std::vector<std::string>{python, script, home, user, password,
                                     std::to_string(lifetimeSeconds)},
            20000);
        FPort = std::atoi(FProcess->FirstLine().c_str());
    }

    int Port() const { return FPort; }

  private:
    std::unique_ptr<TServerProcess> FProcess;
    int FPort = 0;
};
