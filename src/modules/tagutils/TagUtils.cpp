// The tag module: reads the tags and audio properties of a music file through TagLib
// and hands them to the program through the ITagLib interface (see ITagLib.h for the
// contract). Built as libtagutils.so beside the executable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>

#include "tovy/support_tag/ITagLib.h"

namespace {

using tovy::support_tag::ITagLib;
using tovy::support_tag::ITagText;

class TagText final : public ITagText {
public:
    explicit TagText(std::wstring text) : m_text(std::move(text)) {}
    void addRef() override { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void release() override {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    const wchar_t* text() const override { return m_text.c_str(); }
    int32_t length() const override { return int32_t(m_text.size()); }

private:
    ~TagText() = default;
    std::atomic<int32_t> m_refs{1};
    std::wstring m_text;
};

// The program's wide path back to the exact bytes: U+DC80 + byte stands for a byte that
// was not part of valid UTF-8; everything else is encoded as UTF-8.
std::string pathBytes(const wchar_t* path) {
    std::string out;
    for (const wchar_t* p = path; *p; ++p) {
        const auto c = static_cast<uint32_t>(*p);
        if (c >= 0xDC80 && c <= 0xDCFF) {
            out.push_back(char(c - 0xDC00));
        } else if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// UTF-8 to wide text; a malformed sequence becomes U+FFFD.
std::wstring fromUtf8(const std::string& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        uint32_t c = 0;
        size_t extra = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            out.push_back(L'\xFFFD');
            ++i;
            continue;
        }
        bool ok = i + extra < bytes.size() || extra == 0;
        for (size_t k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (next & 0x3F);
        }
        if (!ok || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(L'\xFFFD');
            ++i;
            continue;
        }
        out.push_back(wchar_t(c));
        i += extra + 1;
    }
    return out;
}

// Reads through a descriptor the module opened itself, but answers the file's own
// name, so that TagLib can choose the format by its extension before it looks at the
// content.
class NamedStream final : public TagLib::FileStream {
public:
    NamedStream(int fd, std::string name) : TagLib::FileStream(fd, true), m_name(std::move(name)) {}
    TagLib::FileName name() const override { return m_name.c_str(); }

private:
    std::string m_name;
};

// TagLib reports unreadable frames on standard error; the program logs its own line.
class SilentListener final : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

class TagReader final : public ITagLib {
public:
    bool open(const wchar_t* path) override {
        close();
        if (!path) return false;
        const std::string bytes = pathBytes(path);
        // Never through a final symbolic link, never blocking on a FIFO or a device.
        int fd = ::open(bytes.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return false;
        }
        try {
            auto stream = std::make_unique<NamedStream>(fd, bytes);
            if (!stream->isOpen()) {
                ::close(fd);
                return false;
            }
            auto ref = std::make_unique<TagLib::FileRef>(stream.get(), true,
                                                         TagLib::AudioProperties::Average);
            // TagLib accepts any bytes under a known extension; a file counts as read
            // only when it held audio or a tag. (The stream closes the descriptor.)
            if (ref->isNull() || !holdsAudioOrTag(*ref)) return false;
            m_stream = std::move(stream);
            m_ref = std::move(ref);
            return true;
        } catch (...) {
            close();
            return false;
        }
    }

    void close() override {
        m_ref.reset();  // the file before the stream it reads
        m_stream.reset();
    }

    int32_t channels() override {
        const TagLib::AudioProperties* p = properties();
        return p ? p->channels() : -1;
    }
    int32_t bitRate() override {
        const TagLib::AudioProperties* p = properties();
        return p ? p->bitrate() : -1;
    }
    int32_t sampleRate() override {
        const TagLib::AudioProperties* p = properties();
        return p ? p->sampleRate() : -1;
    }
    int32_t length() override {
        const TagLib::AudioProperties* p = properties();
        return p ? p->lengthInSeconds() : -1;
    }

    ITagText* artist() override { return text(&TagLib::Tag::artist); }
    ITagText* title() override { return text(&TagLib::Tag::title); }
    ITagText* album() override { return text(&TagLib::Tag::album); }
    ITagText* genre() override { return text(&TagLib::Tag::genre); }
    // The tag's comment; where the format has none, a comment kept as a named field
    // (ffmpeg and some taggers write ID3v2 comments as TXXX:comment).
    ITagText* comment() override {
        ITagText* found = text(&TagLib::Tag::comment);
        if (!found || found->length() > 0 || !m_ref || !m_ref->file()) return found;
        std::wstring value;
        try {
            const TagLib::PropertyMap properties = m_ref->file()->properties();
            const auto it = properties.find("COMMENT");
            if (it != properties.end() && !it->second.isEmpty()) {
                value = fromUtf8(it->second.front().to8Bit(true));
            }
        } catch (...) {
            value.clear();
        }
        if (value.empty()) return found;
        found->release();
        return new (std::nothrow) TagText(std::move(value));
    }

    int32_t year() override {
        const TagLib::Tag* t = tag();
        return t ? int32_t(t->year()) : -1;
    }
    int32_t track() override {
        const TagLib::Tag* t = tag();
        return t ? int32_t(t->track()) : -1;
    }

    ~TagReader() { close(); }

private:
    static bool holdsAudioOrTag(const TagLib::FileRef& ref) {
        const TagLib::AudioProperties* audio = ref.audioProperties();
        if (audio && audio->sampleRate() > 0) return true;
        const TagLib::Tag* t = ref.tag();
        return t && !t->isEmpty();
    }

    const TagLib::AudioProperties* properties() const {
        return m_ref ? m_ref->audioProperties() : nullptr;
    }
    const TagLib::Tag* tag() const { return m_ref ? m_ref->tag() : nullptr; }

    ITagText* text(TagLib::String (TagLib::Tag::*field)() const) {
        std::wstring value;
        try {
            if (const TagLib::Tag* t = tag()) value = fromUtf8((t->*field)().to8Bit(true));
        } catch (...) {
            value.clear();
        }
        return new (std::nothrow) TagText(std::move(value));
    }

    std::unique_ptr<NamedStream> m_stream;
    std::unique_ptr<TagLib::FileRef> m_ref;
};

SilentListener g_silent;

}  // namespace

extern "C" __attribute__((visibility("default"))) ITagLib* CreateInstance() {
    static const bool quiet = [] {
        TagLib::setDebugListener(&g_silent);
        return true;
    }();
    (void)quiet;
    return new (std::nothrow) TagReader();
}

extern "C" __attribute__((visibility("default"))) void DeleteInstance(ITagLib* reader) {
    delete static_cast<TagReader*>(reader);
}
