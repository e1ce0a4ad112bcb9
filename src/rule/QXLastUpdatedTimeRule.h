// The update-time rule ("更新時間"): the time rule on the last-write time of each record.
//
// Held through std::shared_ptr; see QXFileTimeRule for threads.
#pragma once

#include "rule/QXFileTimeRule.h"

namespace quenrix {

class QXLastUpdatedTimeRule : public QXFileTimeRule {
public:
    QXLastUpdatedTimeRule();

    int32_t typeId() const override;
    std::shared_ptr<QXRule> clone() const override;
    platform::FILETIME recordTime(const QXFileInfo& file) const override;
};

}  // namespace quenrix
