#include "tools/SyncBase.h"

#include "tools/Commands.h"
#include "tools/Session.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace ostak_tool {

namespace {

bool WriteAll(int fd, const std::string &content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string BasePathFor(const std::string &scriptPath) {
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(scriptPath, error);
    if (error) {
        resolved = scriptPath;
    }
    return (resolved.parent_path() / ("." + resolved.filename().string() + ".base")).string();
}

bool WriteBase(const Context &context, const std::string &basePath, const std::string &content) {
    const std::string temporary = basePath + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool written = fd >= 0;
    const int failure = written ? 0 : errno;
    if (written) {
        written = WriteAll(fd, content) && ::fsync(fd) == 0;
        written = ::close(fd) == 0 && written;
        written = written && ::rename(temporary.c_str(), basePath.c_str()) == 0;
        if (!written) {
            ::unlink(temporary.c_str());
        }
    }
    if (!written) {
        WarnAbout(context, basePath, "the base could not be written" +
                              (failure != 0 ? std::string(" (") + std::strerror(failure) + ")" : "") +
                              "; the next sync asks about every difference");
    }
    return written;
}

std::optional<int32_t> InstallationVersionOf(const std::string &path) {
    try {
        ostak::RuleFile file(ostak::FileKind::Plain, path);
        file.load();
        return file.installationVersion();
    } catch (const ostak::Error &) {
        return std::nullopt;
    }
}

std::optional<ostak::RuleFile> LoadBaseFor(const Context &context, Reporter &reporter,
                                           const std::string &scriptPath, const std::string &basePath) {
    if (!std::filesystem::is_regular_file(basePath) || !std::filesystem::is_regular_file(scriptPath)) {
        return std::nullopt;
    }
    const std::optional<int32_t> scriptVersion = InstallationVersionOf(scriptPath);
    const std::optional<int32_t> installationVersion =
        InstallationVersionOf(ostak::Library::installationFilePath());
    if (!scriptVersion || !installationVersion || *scriptVersion == *installationVersion) {
        return std::nullopt; // nothing to merge, or the load reports what is wrong
    }
    std::optional<ostak::RuleFile> base(std::in_place, ostak::FileKind::Plain, basePath);
    if (LoadReporting(*base, reporter) != OSTAK_OK) {
        WarnAbout(context, basePath, "no usable base; asking about every difference");
        return std::nullopt;
    }
    if (base->installationVersion() != *scriptVersion) {
        WarnAbout(context, basePath, "the base is stale: it holds installation-file version " +
                              std::to_string(base->installationVersion()) + ", but " + scriptPath +
                              " was last brought in step at version " + std::to_string(*scriptVersion) +
                              " (by another program); asking about every difference");
        return std::nullopt;
    }
    return base;
}

} // namespace ostak_tool
