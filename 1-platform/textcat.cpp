#include "1-platform/textcat.h"

#include "1-platform/Seams.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

namespace ostak {

namespace {

constexpr int32_t kMalformedFile = 1001;
constexpr int32_t kNotRegistered = 1002;

struct Catalogue {
    // Resource file path -> its messages by number.
    std::map<std::string, std::map<int32_t, std::string>> files;
};

Catalogue &TheCatalogue() {
    static Catalogue catalogue;
    return catalogue;
}

// Parses one "<number><TAB><text>" line; false when it is not of that form.
bool ParseLine(const std::string &line, int32_t *number, std::string *text) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) {
        return false;
    }
    const std::string digits = line.substr(0, tab);
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(digits.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
        return false;
    }
    *number = static_cast<int32_t>(value);
    *text = line.substr(tab + 1);
    if (!text->empty() && text->back() == '\r') {
        text->pop_back();
    }
    return true;
}

// Fills %1..%9 and %%; false when the text names an argument that is missing.
bool Substitute(const std::string &pattern, const MsgArg *args, std::string *out) {
    int count = 0;
    while (args != nullptr && args[count].kind != MsgArg::kEnd && count < 9) {
        ++count;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out->push_back(c);
            continue;
        }
        const char next = pattern[++i];
        if (next == '%') {
            out->push_back('%');
            continue;
        }
        if (next < '1' || next > '9') {
            out->push_back('%');
            out->push_back(next);
            continue;
        }
        const int index = next - '1';
        if (index >= count) {
            return false;
        }
        const MsgArg &arg = args[index];
        if (arg.kind == MsgArg::kInt) {
            out->append(std::to_string(arg.number));
        } else {
            out->append(arg.text != nullptr ? arg.text : "(null)");
        }
    }
    return true;
}

} // namespace

int32_t MsgHandlerInitFunction() noexcept {
    PlatformSeams &seams = Seams();
    ++seams.msgHandlerInitCalls;
    return seams.msgHandlerInit.active ? seams.msgHandlerInit.rc : 0;
}

int32_t MsgHandlerDestroyFunction() noexcept {
    ++Seams().msgHandlerDestroyCalls;
    TheCatalogue().files.clear();
    return 0;
}

int32_t AddResourceFile(const char *path) noexcept {
    PlatformSeams &seams = Seams();
    ++seams.addResourceFileCalls;
    if (seams.addResourceFile.active) {
        return seams.addResourceFile.rc;
    }
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return errno != 0 ? errno : ENOENT;
        }
        std::map<int32_t, std::string> messages;
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#' || line == "\r") {
                continue;
            }
            int32_t number = 0;
            std::string text;
            if (!ParseLine(line, &number, &text)) {
                return kMalformedFile;
            }
            messages[number] = text;
        }
        TheCatalogue().files[path] = std::move(messages);
        return 0;
    } catch (...) {
        return ENOMEM;
    }
}

int32_t RemoveResourceFile(const char *path) noexcept {
    PlatformSeams &seams = Seams();
    ++seams.removeResourceFileCalls;
    if (seams.removeResourceFile.active) {
        return seams.removeResourceFile.rc;
    }
    try {
        return TheCatalogue().files.erase(path) == 1 ? 0 : kNotRegistered;
    } catch (...) {
        return ENOMEM;
    }
}

const char *CatalogueText(int32_t msgId) noexcept {
    for (const auto &file : TheCatalogue().files) {
        const auto found = file.second.find(msgId);
        if (found != file.second.end()) {
            return found->second.c_str();
        }
    }
    return nullptr;
}

int32_t FormatGenericMessage(const char * /*application*/, int32_t /*language*/, uint32_t /*flags*/,
                             int32_t msgId, const MsgArg *args, char **text) noexcept {
    *text = nullptr;
    const PlatformSeams &seams = Seams();
    if (seams.formatFailsAll || (seams.formatFailsFor != 0 && seams.formatFailsFor == msgId)) {
        return -1;
    }
    const char *pattern = CatalogueText(msgId);
    if (pattern == nullptr) {
        return -1;
    }
    try {
        std::string out;
        if (!Substitute(pattern, args, &out)) {
            return -1;
        }
        char *copy = static_cast<char *>(std::malloc(out.size() + 1));
        if (copy == nullptr) {
            return -1;
        }
        std::memcpy(copy, out.c_str(), out.size() + 1);
        *text = copy;
        return 0;
    } catch (...) {
        return -1;
    }
}

void FreeGenericMessage(char *text) noexcept {
    std::free(text);
}

} // namespace ostak
