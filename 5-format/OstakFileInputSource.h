// The rule file as the parser's input: a local file, named by a path in the
// process code page, read as it is.
//
// The parser's own file opening would take the path for a URL and transcode
// it through its local code page, which fails for paths with bytes beyond
// ASCII and could reach out to the network for a path that looks like a URL.
#pragma once

#include <xercesc/sax/InputSource.hpp>
#include <xercesc/util/BinInputStream.hpp>

namespace ostak {

class OstakFileInputSource : public xercesc::InputSource {
  public:
    // `path` must stay valid while the source is used.
    explicit OstakFileInputSource(const char *path);
    ~OstakFileInputSource() override = default;

    OstakFileInputSource(const OstakFileInputSource &) = delete;
    OstakFileInputSource &operator=(const OstakFileInputSource &) = delete;

    // A stream over the file, or null when it cannot be opened (the parser
    // then reports a fatal error).
    xercesc::BinInputStream *makeStream() const override;

  private:
    const char *m_Path;
};

} // namespace ostak
