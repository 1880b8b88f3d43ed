#pragma once

// Certificates for the FTPS tests, made with the openssl program into a folder: a CA of the
// tests, a server certificate that it signed for "localhost" and 127.0.0.1, and a
// self-signed one for the same names, which no CA vouches for.

#include "TestSupport.h"
#include "publish/ChildProcess.h"

#include <string>
#include <vector>

class TTestCertificates {
  public:
    explicit TTestCertificates(const std::string& folder) : FFolder(folder) {
        const std::string names = "subjectAltName=DNS:localhost,IP:127.0.0.1";
        WriteFileBytes(folder + "/server.ext", names + "\n");
        const std::vector<std::string> key = {"-newkey", "ec", "-pkeyopt",
                                              "ec_paramgen_curve:prime256v1", "-nodes"};
        auto run = [&](std::vector<std::string> argv) {
            TProcessResult r = RunProcess(argv, "", 30000);
            if (r.ExitCode != 0)
                FError += r.Err;
        };
        // openssl with the command, the key options and the rest.
        auto with = [&](std::vector<std::string> head, const std::vector<std::string>& tail) {
            head.insert(head.end(), key.begin(), key.end());
            head.insert(head.end(), tail.begin(), tail.end());
            return head;
        };
        run(with({"openssl", "req", "-x509"},
                 {"-keyout", CaKey(), "-out", CaFile(), "-days", "2", "-subj",
                  "/CN=Corvane Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                  "keyUsage=critical,keyCertSign,cRLSign"}));
        run(with({"openssl", "req"}, {"-keyout", ServerKey(), "-out", folder + "/server.csr",
                                      "-subj", "/CN=localhost"}));
        run({"openssl", "x509", "-req", "-in", folder + "/server.csr", "-CA", CaFile(), "-CAkey",
             CaKey(), "-CAcreateserial", "-out", ServerCertificate(), "-days", "2", "-extfile",
             folder + "/server.ext"});
        run(with({"openssl", "req", "-x509"},
                 {"-keyout", SelfSignedKey(), "-out", SelfSignedCertificate(), "-days", "2",
                  "-subj", "/CN=localhost", "-addext", names}));
    }

    // Empty when every certificate was made.
    const std::string& Error() const { return FError; }

    std::string CaFile() const { return FFolder + "/ca.pem"; }
    std::string CaKey() const { return FFolder + "/ca.key"; }
    std::string ServerCertificate() const { return FFolder + "/server.pem"; }
    std::string ServerKey() const { return FFolder + "/server.key"; }
    std::string SelfSignedCertificate() const { return FFolder + "/self.pem"; }
    std::string SelfSignedKey() const { return FFolder + "/self.key"; }

    // The SHA-256 fingerprint of a certificate file as openssl shows it ("AB:CD:...").
    static std::string Fingerprint(const std::string& pem) {
        TProcessResult r = RunProcess(
            {"openssl", "x509", "-in", pem, "-noout", "-fingerprint", "-sha256"}, "", 30000);
        const std::size_t equals = r.Out.find('=');
        if (r.ExitCode != 0 || equals == std::string::npos)
            return "";
        std::string fingerprint = r.Out.substr(equals + 1);
        while (!fingerprint.empty() && (fingerprint.back() == '\n' || fingerprint.back() == '\r'))
            fingerprint.pop_back();
        return fingerprint;
    }

  private:
    std::string FFolder;
    std::string FError;
};
