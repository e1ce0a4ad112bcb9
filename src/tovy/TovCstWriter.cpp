#include "tovy/TovCstWriter.h"

namespace tovy {

TovCstWriter::~TovCstWriter() {
    if (m_stream) m_stream->flush();
}

bool TovCstWriter::put(std::string_view bytes) {
    if (bytes.empty()) return true;
    return m_stream->write(bytes.data(), bytes.size()) == bytes.size();
}

bool TovCstWriter::indent() {
    bool ok = true;
    for (uint64_t i = 0; i < m_depth; ++i) ok = put("\t") && ok;
    return ok;
}

bool TovCstWriter::writeHeader() {
    if (!m_stream) return false;
    bool ok = put("qnrx0101txt 03  ");
    return put(m_lineEnd) && ok;
}

bool TovCstWriter::beginSection(std::string_view name, std::string_view argument) {
    if (!m_stream) return false;
    if (hasLineBreak(name) || hasLineBreak(argument)) return false;
    bool ok = true;
    if (!name.empty()) {
        ok = put(m_lineEnd) && ok;
        ok = indent() && ok;
        ok = put(name) && ok;
        if (!argument.empty()) {
            ok = put(" \"") && ok;
            ok = put(argument) && ok;
            ok = put("\"") && ok;
        }
        ok = put(" {") && ok;
        ok = put(m_lineEnd) && ok;
    }
    ++m_depth;
    return ok;
}

bool TovCstWriter::endSection() {
    if (!m_stream) return false;
    if (m_depth > 0) --m_depth;
    bool ok = indent();
    ok = put("}") && ok;
    return put(m_lineEnd) && ok;
}

bool TovCstWriter::writeValue(std::string_view key, std::string_view value) {
    if (!m_stream) return false;
    if (hasLineBreak(key) || hasLineBreak(value)) return false;
    if (key.empty()) return true;
    bool ok = indent();
    ok = put(key) && ok;
    ok = put(" = ") && ok;
    ok = put(value) && ok;
    ok = put(";") && ok;
    return put(m_lineEnd) && ok;
}

bool TovCstWriter::writeLineEnd() {
    if (!m_stream) return false;
    return put(m_lineEnd);
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string cstValue(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace tovy
