// A C++ program built against an installed Ostak through ostak.hpp:
// initialises it in read-only mode over the installed data folder, makes an
// empty rule file and walks it, and terminates at scope exit.
#include <ostak.hpp>

#include <iostream>

int main(int argc, char **argv) {
    ostak::Options options;
    options.root = argc > 1 ? argv[1] : ".";
    options.scriptDirectory = "/nonexistent";
    options.scriptName = "s.xml";
    options.readOnly = true;
    options.log = [](const ostak::Message &m) { std::cerr << m.level << ' ' << m.number << ": " << m.text << '\n'; };
    try {
        ostak::Library library(std::move(options));
        ostak::RuleFile file(ostak::FileKind::Plain, "/nonexistent/s.xml");
        int count = 0;
        for (ostak::Application appl : file.applications()) {
            count += appl.enabled() ? 1 : 0;
        }
        std::cout << "installation file: " << ostak::Library::installationFilePath() << ", " << count
                  << " applications\n";
    } catch (const ostak::Error &error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
