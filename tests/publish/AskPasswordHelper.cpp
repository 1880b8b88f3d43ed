// For the keyring tests: asks for a password on the terminal as corvane-cli does and writes
// what it read into the file named by its argument ("read: " and the text, or "none").

#include "publish/PublishPassword.h"

#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::optional<std::string> read =
        AskPasswordOnTerminal("Password for site@example.org: ");
    std::ofstream(argv[1], std::ios::binary) << (read ? "read: " + *read : std::string("none"));
    return 0;
}
