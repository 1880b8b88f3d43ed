#pragma once

// Certificates for the FTPS tests, made with the openssl program into a folder: a CA of the
// tests, a server certificate that it signed for "localhost" and 127.0.0.1, and a
// self-signed one for the same names, which no CA vouches for.

#include "TestSupport.h"
#include "publish/ChildProcess.h"

#include <filesystem>
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

    // Makes two more server certificates that the test CA signed and that do not verify all
    // the same: one that expired (valid for a day in 2020, for the right names) and one for
    // another host name only ("wrong.example"). The error output, or empty.
    std::string MakeUnverifiable() {
        const std::string folder = FFolder;
        std::filesystem::create_directories(folder + "/issued");
        WriteFileBytes(folder + "/index.txt", "");
        WriteFileBytes(folder + "/serial", "1000\n");
        WriteFileBytes(folder + "/ca.cnf",
                       "[ ca ]\ndefault_ca = test\n[ test ]\ndatabase = " + folder +
                           "/index.txt\nnew_certs_dir = " + folder + "/issued\nserial = " + folder +
                           "/serial\ndefault_md = sha256\n"
                           "policy = any\nunique_subject = no\n"
                           "[ any ]\ncommonName = supplied\n");
        WriteFileBytes(folder + "/wrong.ext", "subjectAltName=DNS:wrong.example\n");
        std::string error;
        auto run = [&](const std::vector<std::string>& argv) {
            TProcessResult r = RunProcess(argv, "", 30000);
            if (r.ExitCode != 0)
                error += r.Err;
        };
        auto issue = [&](const std::string& name, const std::string& subject,
                         const std::string& extensions, std::vector<std::string> dates) {
            run({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                 "-nodes", "-keyout", folder + "/" + name + ".key", "-out",
                 folder + "/" + name + ".csr", "-subj", subject});
            std::vector<std::string> argv = {"openssl",  "ca",
                                             "-batch",   "-notext",
                                             "-config",  folder + "/ca.cnf",
                                             "-cert",    CaFile(),
                                             "-keyfile", CaKey(),
                                             "-in",      folder + "/" + name + ".csr",
                                             "-out",     folder + "/" + name + ".pem",
                                             "-extfile", extensions};
            argv.insert(argv.end(), dates.begin(), dates.end());
            run(argv);
        };
        issue("expired", "/CN=localhost", folder + "/server.ext",
              {"-startdate", "20200101000000Z", "-enddate", "20200102000000Z"});
        issue("wrong", "/CN=wrong.example", folder + "/wrong.ext", {"-days", "2"});
        return error;
    }
    std::string ExpiredCertificate() const { return FFolder + "/expired.pem"; }
    std::string ExpiredKey() const { return FFolder + "/expired.key"; }
    std::string WrongNameCertificate() const { return FFolder + "/wrong.pem"; }
    std::string WrongNameKey() const { return FFolder + "/wrong.key"; }

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
