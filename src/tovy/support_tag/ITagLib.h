// The interface between the program and its tag module (libtagutils.so, built from
// src/modules/tagutils over TagLib). The module exports two C functions:
//
//   ITagLib* CreateInstance();          a new reader, or null
//   void DeleteInstance(ITagLib* p);    destroys a reader made by CreateInstance
//
// and the program uses the reader only through the virtual operations below, whose
// order is part of the interface (slots 0 to 12). Neither side throws across it. The
// reader has no virtual destructor: DeleteInstance destroys it.
//
// Texts come back as an ITagText holding one reference, which the caller releases
// after copying the text. Numbers are signed 32-bit; -1 when the file holds no such
// value. The length is in whole seconds.
//
// A reader is used by one thread at a time; separate readers may be used at once.
#pragma once

#include <cstdint>

namespace tovy::support_tag {

// A reference-counted wide text made by the module.
class ITagText {
public:
    virtual void addRef() = 0;
    // Drops one reference; the last one frees the text (in the module that made it).
    virtual void release() = 0;
    // The text, zero-terminated, and its length in wchar_t units.
    virtual const wchar_t* text() const = 0;
    virtual int32_t length() const = 0;

protected:
    ~ITagText() = default;
};

class ITagLib {
public:
    // 0: reads the file's tags and audio properties; true when the file could be read.
    // `path` is the full path in the program's lossless wide form (bytes that are not
    // UTF-8 appear as U+DC80 + byte). A symbolic link or anything but a regular file is
    // refused.
    virtual bool open(const wchar_t* path) = 0;
    // 1: forgets the file.
    virtual void close() = 0;
    // 2 to 5: audio properties of the open file (bit rate in kb/s, sample rate in Hz,
    // length in seconds).
    virtual int32_t channels() = 0;
    virtual int32_t bitRate() = 0;
    virtual int32_t sampleRate() = 0;
    virtual int32_t length() = 0;
    // 6 to 10: the tag texts (an empty text when the file has none); null only when
    // memory ran out.
    virtual ITagText* artist() = 0;
    virtual ITagText* title() = 0;
    virtual ITagText* album() = 0;
    virtual ITagText* genre() = 0;
    virtual ITagText* comment() = 0;
    // 11, 12: year and track number; 0 when the tag holds none.
    virtual int32_t year() = 0;
    virtual int32_t track() = 0;

protected:
    ~ITagLib() = default;
};

using CreateInstanceFn = ITagLib* (*)();
using DeleteInstanceFn = void (*)(ITagLib*);

// The module's file name, looked for in the executable's folder.
inline constexpr const char* kTagModuleName = "libtagutils.so";

}  // namespace tovy::support_tag
