// The access-time rule ("アクセス時間"): the time rule on the last-access time of each
// record.
//
// Held through std::shared_ptr; see QXFileTimeRule for threads.
#pragma once

#include "rule/QXFileTimeRule.h"

namespace quenrix {

class QXLastAccessTimeRule : public QXFileTimeRule {
public:
    QXLastAccessTimeRule();

    int32_t typeId() const override;
    std::shared_ptr<QXRule> clone() const override;
    platform::FILETIME recordTime(const QXFileInfo& file) const override;
};

}  // namespace quenrix
