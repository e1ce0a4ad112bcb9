// The creation-time rule ("作成時間"): the time rule on the creation (birth) time of each
// record.
//
// Held through std::shared_ptr; see QXFileTimeRule for threads.
#pragma once

#include "rule/QXFileTimeRule.h"

namespace quenrix {

class QXCreateTimeRule : public QXFileTimeRule {
public:
    QXCreateTimeRule();

    int32_t typeId() const override;
    std::shared_ptr<QXRule> clone() const override;
    platform::FILETIME recordTime(const QXFileInfo& file) const override;
};

}  // namespace quenrix
