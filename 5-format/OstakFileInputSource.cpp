#include "5-format/OstakFileInputSource.h"

#include "1-platform/Seams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <unistd.h>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>
#include <xercesc/util/XMLString.hpp>

namespace ostak {

namespace {

// Reads a file descriptor; closes it at the end.
class FileStream : public xercesc::BinInputStream {
  public:
    FileStream(int fd, xercesc::MemoryManager *manager) : m_Fd(fd), m_Manager(manager) {}
    ~FileStream() override { close(m_Fd); }

    FileStream(const FileStream &) = delete;
    FileStream &operator=(const FileStream &) = delete;

    XMLFilePos curPos() const override { return m_Position; }

    XMLSize_t readBytes(XMLByte *const toFill, const XMLSize_t maxToRead) override {
        if (m_Position > 0) {
            ThrowIfTold();
        }
        for (;;) {
            const ssize_t got = read(m_Fd, toFill, maxToRead);
            if (got >= 0) {
                m_Position += static_cast<XMLFilePos>(got);
                return static_cast<XMLSize_t>(got);
            }
            if (errno != EINTR) {
                ThrowXMLwithMemMgr(xercesc::XMLPlatformUtilsException,
                                   xercesc::XMLExcepts::File_CouldNotReadFromFile, m_Manager);
            }
        }
    }

    const XMLCh *getContentType() const override { return nullptr; }

  private:
    // The seam through which tests make reading throw past the parser, once
    // the parser has begun with the document (its first read is never failed).
    static void ThrowIfTold() {
        switch (Seams().loadReadThrows) {
        case 1:
            throw std::bad_alloc();
        case 2:
            throw std::runtime_error("reading the rule file was told to fail");
        default:
            break;
        }
    }

    int m_Fd;
    xercesc::MemoryManager *m_Manager;
    XMLFilePos m_Position = 0;
};

} // namespace

OstakFileInputSource::OstakFileInputSource(const char *path) : m_Path(path) {
    // The system identifier only names the document in the parser's own
    // texts: each byte becomes the UTF-16 unit of the same value.
    xercesc::MemoryManager *manager = getMemoryManager();
    const std::size_t length = std::strlen(path);
    XMLCh *wide = static_cast<XMLCh *>(manager->allocate((length + 1) * sizeof(XMLCh)));
    for (std::size_t i = 0; i < length; ++i) {
        wide[i] = static_cast<unsigned char>(path[i]);
    }
    wide[length] = 0;
    setSystemId(wide);
    manager->deallocate(wide);
}

xercesc::BinInputStream *OstakFileInputSource::makeStream() const {
    const int fd = open(m_Path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    xercesc::MemoryManager *manager = getMemoryManager();
    try {
        return new (manager) FileStream(fd, manager);
    } catch (...) {
        close(fd);
        throw;
    }
}

} // namespace ostak
