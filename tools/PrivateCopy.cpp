#include "tools/PrivateCopy.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unistd.h>

namespace ostak_tool {

namespace {

// What a signal handler may remove: fixed buffers, since it may neither
// allocate nor walk a folder. Each slot names the copy, the lock file the
// library may hold beside it, and the folder.
constexpr int kSlots = 8;
constexpr std::size_t kPathSize = 4096;

struct Slot {
    volatile sig_atomic_t used = 0;
    char copy[kPathSize];
    char lock[kPathSize];
    char folder[kPathSize];
};

Slot g_slots[kSlots];
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveCopiesAndDie(int signal) {
    for (Slot &slot : g_slots) {
        if (slot.used != 0) {
            unlink(slot.copy);
            unlink(slot.lock);
            rmdir(slot.folder);
        }
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void InstallHandlersOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : kSignals) {
            struct sigaction action {};
            action.sa_handler = RemoveCopiesAndDie;
            sigemptyset(&action.sa_mask);
            for (int other : kSignals) {
                sigaddset(&action.sa_mask, other);
            }
            sigaction(signal, &action, nullptr);
        }
    });
}

bool Fits(const std::string &text) {
    return text.size() < kPathSize;
}

// Takes a free slot for the folder; -1 when none is free (the copy is then
// removed only on a normal end).
int TakeSlot(const std::string &folder, const std::string &copy, const std::string &lock) {
    if (!Fits(folder) || !Fits(copy) || !Fits(lock)) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        Slot &slot = g_slots[i];
        if (slot.used == 0) {
            std::memcpy(slot.copy, copy.c_str(), copy.size() + 1);
            std::memcpy(slot.lock, lock.c_str(), lock.size() + 1);
            std::memcpy(slot.folder, folder.c_str(), folder.size() + 1);
            slot.used = 1;
            return i;
        }
    }
    return -1;
}

std::string TemporaryRoot() {
    const char *tmp = std::getenv("TMPDIR");
    return tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
}

} // namespace

void PrivateCopy::MakeFolder(const Context &context, std::string name) {
    InstallHandlersOnce();
    std::string pattern = TemporaryRoot() + "/ostak-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        Complain(context, "cannot make a private folder in " + TemporaryRoot() + ": " + std::strerror(errno));
        throw Failure(kExitError);
    }
    folder_ = pattern;
    if (name.empty() || name == "." || name == "..") {
        name = "rules.xml";
    }
    path_ = folder_ + "/" + name;
    slot_ = TakeSlot(folder_, path_, folder_ + "/." + name + ".lock");
}

PrivateCopy::PrivateCopy(const Context &context, const Content &content) {
    MakeFolder(context, content.name);
    if (content.bytes.empty()) {
        return;
    }
    std::ofstream out(path_, std::ios::binary);
    out << content.bytes;
    out.close();
    if (!out) {
        Complain(context, "cannot write a private copy in " + folder_ + ": " + std::strerror(errno));
        throw Failure(kExitError);
    }
}

PrivateCopy::PrivateCopy(const Context &context, const std::string &original) : original_(original) {
    MakeFolder(context, std::filesystem::path(original).filename().string());

    std::error_code error;
    if (!std::filesystem::exists(original, error)) {
        return; // a missing file reads as missing
    }
    std::filesystem::copy_file(original, path_, error);
    if (error) {
        ComplainAbout(context, original, "cannot copy it to read it safely: " + error.message());
        throw Failure(kExitError);
    }
}

PrivateCopy::~PrivateCopy() {
    if (slot_ >= 0) {
        g_slots[slot_].used = 0;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

} // namespace ostak_tool
