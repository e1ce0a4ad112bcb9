// The texts of the result list's cells and of the result summary, and the default
// tick of a matched record. Plain functions with no Qt, so the list model asks for a
// cell's text only when the view paints it. Thread-safe: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/QXFileInfo.h"
#include "platform/WinTypes.h"

namespace quenrix {

// Decimal digits in groups of three separated by "," ("1,234,567").
std::wstring formatThousands(uint64_t value);

// A time as local wall-clock text "YYYY/MM/DD hh:mm"; empty when it cannot be converted.
std::wstring formatLocalTime(platform::FILETIME time);

// "WxH" when the record carries the image-size mark, else empty.
std::wstring formatImageSize(const QXFileInfo& file);

// The text for showing: every unit that stands for an undecodable byte becomes U+FFFD.
std::wstring displayText(std::wstring_view text);

// The summary of the status bar: "総数: T  一致: M  選択: S".
std::wstring formatResultSummary(size_t total, size_t matched, size_t ticked);

// Whether a freshly listed match starts ticked. Inside a group (in-group mark) every
// record but the newest is ticked; outside one a record of no group (number below 1) is
// ticked, and a numbered one unless it is marked newest.
bool tickedByDefault(const QXFileInfo& file);

}  // namespace quenrix
