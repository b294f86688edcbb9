#include "tools/InPlaceWrite.h"

#include "tools/Session.h"

#include <chrono>

namespace ostak_tool {

InPlaceWrite::InPlaceWrite(const Context &context, Session &session, const std::string &path)
    : context_(context), path_(path) {
    holder_.emplace(ostak::FileKind::Plain, path);
    session.reporter().SetSubject(path);
    try {
        holder_->lock(std::chrono::milliseconds(context.lockWaitMs));
    } catch (const ostak::Error &) {
        session.reporter().SetSubject("");
        ComplainAbout(context, path,
                      "not written (another process is writing it; try again, or give --wait)");
        throw Failure(kExitError);
    }
    session.reporter().SetSubject("");
    identity_ = FileIdentity::Of(path);
}

void InPlaceWrite::NoteLoaded() {
    identity_ = FileIdentity::Of(path_);
}

void InPlaceWrite::CheckUnchanged() const {
    if (FileIdentity::Of(path_) != identity_) {
        ComplainAbout(context_, path_, "changed meanwhile (since it was loaded); nothing written");
        throw Failure(kExitError);
    }
}

} // namespace ostak_tool
