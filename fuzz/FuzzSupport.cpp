#include "fuzz/FuzzSupport.h"

#include "include/ostak.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace ostak_fuzz {

namespace {

int g_problems = 0;

void RemoveWorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(WorkDir(), ignored);
}

} // namespace

void Check(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz oracle failed: %s\n", what);
        std::abort();
    }
}

const std::string &WorkDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/ostak-fuzz-XXXXXX";
        const char *made = mkdtemp(pattern);
        Check(made != nullptr, "mkdtemp");
        return std::string(made);
    }();
    static const bool registered = std::atexit(RemoveWorkDir) == 0;
    (void)registered;
    return dir;
}

bool WriteFile(const std::string &path, const std::string &bytes) {
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

bool ReadFile(const std::string &path, std::string *bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool FileExists(const std::string &path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::vector<std::string> Split(const uint8_t *data, std::size_t size, const std::string &separator) {
    const std::string all(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t found = all.find(separator, start);
        if (found == std::string::npos) {
            parts.push_back(all.substr(start));
            return parts;
        }
        parts.push_back(all.substr(start, found - start));
        start = found + separator.size();
    }
}

int ByteStream::Next(int fallback) {
    if (Empty()) {
        return fallback;
    }
    return static_cast<uint8_t>(bytes_[position_++]);
}

uint32_t MergeAnswerFrom(int32_t event, ByteStream &answers) {
    const int byte = answers.Next(-1);
    if (byte < 0) {
        switch (event) {
        case OstakMergeRuleOnlyInSource:
            return OstakMergeTakeSource;
        case OstakMergeRuleOnlyInTarget:
            return OstakMergeTakeTarget;
        default:
            return OstakMergeTakeBoth;
        }
    }
    if (byte == 0xFF) {
        return 4;
    }
    if (byte == 0xFE) {
        return 0x80000001u;
    }
    if (byte == 0) {
        return OstakMergeCancel;
    }
    return static_cast<uint32_t>(byte % 3 + 1);
}

bool Verbose() {
    static const bool verbose = std::getenv("OSTAK_FUZZ_VERBOSE") != nullptr;
    return verbose;
}

void Trace(const char *step, int32_t rc) {
    if (Verbose()) {
        std::fprintf(stderr, "fuzz step: %s gives %d\n", step, rc);
    }
}

void CountingLog(int32_t number, const char *text, const char *func, int32_t line, int32_t level) {
    if (Verbose()) {
        std::fprintf(stderr, "%d %d %s (%s:%d)\n", level, number, text, func, line);
    }
    if (level >= OSTAK_LEVEL_WARNING) {
        ++g_problems;
    }
}

int LoggedProblems() {
    return g_problems;
}

void ResetLoggedProblems() {
    g_problems = 0;
}

namespace {

uint32_t CancelEveryQuestion(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    return 0;
}

int32_t AnswerNo(int32_t) {
    return 0;
}

} // namespace

void InitLibraryOnce(uint32_t (*merge)(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *),
                     bool converterSwitch) {
    static bool done = false;
    if (done) {
        return;
    }
    const char *root = OSTAK_SOURCE_DIR;
    const std::string &dir = WorkDir();
    const int32_t rc = xfeOstakGlobalInit(0, CountingLog, merge != nullptr ? merge : CancelEveryQuestion, AnswerNo,
                                          root, static_cast<uint32_t>(std::strlen(root)), dir.c_str(),
                                          static_cast<uint32_t>(dir.size()), "script.xml", 10,
                                          converterSwitch ? 1 : 0);
    Check(rc == 0, "initialisation");
    done = true;
}

} // namespace ostak_fuzz
