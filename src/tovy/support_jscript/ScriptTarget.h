// The native object of the "target" item: the twenty read-only properties of the file
// record the site names as its target (fileName, fileNameNoExt, fileSize, fileExt, path,
// dir, the four attributes, the three times as script Dates equal to the file times, the
// image width and height, and five digests). Image sizes and digests are made on first
// read, through the record, so a script that does not ask for them costs nothing.
// Reading any property while the site has no target throws an error whose source is
// "Quenrix".
//
// Engine thread only; the record belongs to that thread while the run lasts.
#pragma once

#include "tovy/support_jscript/ScriptObject.h"

namespace tovy::support_jscript {

class ScriptTarget : public ScriptObject {
public:
    using ScriptObject::ScriptObject;

    QStringList memberNames() const override;
    QJSValue property(int id) override;
};

}  // namespace tovy::support_jscript
