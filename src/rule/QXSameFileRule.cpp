#include "rule/QXSameFileRule.h"

#include "rule/QXCheckDuplicateRule.h"
#include "rule/QXDuplicateFinder.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

// Ids 0 to 8 are the duplicate rule's; 9 is its xxHash (10).
int32_t duplicateId(int32_t algorithm) {
    return algorithm == QXSameFileRule::kXxHash ? QXCheckDuplicateRule::kXxHash : algorithm;
}

}  // namespace

QXSameFileRule::QXSameFileRule() : QXRule(ruleKind(ruletype::kSameFile)->priority) {}

int32_t QXSameFileRule::typeId() const {
    return ruletype::kSameFile;
}

std::wstring QXSameFileRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXSameFileRule::algorithmLabel(int32_t algorithm) {
    if (algorithm < 0 || algorithm >= kAlgorithmCount) return std::wstring();
    return QXCheckDuplicateRule::algorithmLabel(duplicateId(algorithm));
}

std::wstring QXSameFileRule::algorithmDescription(int32_t algorithm) {
    if (algorithm < 0 || algorithm >= kAlgorithmCount) return std::wstring();
    return QXCheckDuplicateRule::algorithmDescription(duplicateId(algorithm));
}

bool QXSameFileRule::apply(const QXFileList& files, QXRuleHost& host) {
    const size_t n = files.size();
    resetVerdicts(n);
    const std::vector<size_t> order = sortedBySize(files);
    std::shared_ptr<QXFileInfo> reference =
        m_path.empty() ? nullptr : QXFileInfo::fromPath(tovy::toUtf8(m_path));
    if (!reference) return true;

    QXDuplicateFinder finder(sameFileMethod(m_algorithm), host);
    const bool sizeFirst = finder.method().sizeFirst();
    // The reference itself, under any of its names, never matches: deleting the matches
    // must leave it in place.
    auto candidate = [&](const QXFileInfo& f) {
        return !f.hasFlag(QXFileInfo::kDecided) && !sameInode(f, *reference) &&
               (!sizeFirst || f.size() == reference->size());
    };

    // Classes of the reference and every candidate, made when the first candidate is
    // reached, so the reference is read at most once.
    bool classified = false;
    std::vector<int64_t> classOf(n, -1);  // by input position
    int64_t referenceClass = -1;
    auto classifyAll = [&]() {
        std::vector<QXFileInfo*> records{reference.get()};
        std::vector<size_t> positions;
        for (size_t k = 0; k < n; ++k) {
            if (!candidate(*files[order[k]])) continue;
            records.push_back(files[order[k]].get());
            positions.push_back(order[k]);
        }
        std::vector<int64_t> classes;
        if (!finder.classify(records, classes)) return false;
        referenceClass = classes[0];
        for (size_t j = 0; j < positions.size(); ++j) classOf[positions[j]] = classes[j + 1];
        return true;
    };

    int last = -1;
    for (size_t k = 0; k < n; ++k) {
        const size_t i = order[k];
        QXFileInfo& f = *files[i];
        if (!f.hasFlag(QXFileInfo::kDecided)) {
            host.showFile(f);
            if (candidate(f)) {
                if (!classified) {
                    if (!classifyAll()) return false;
                    classified = true;
                }
                if (referenceClass >= 0 && classOf[i] == referenceClass) setVerdict(i, true);
            }
        }
        if (host.cancelled()) return false;
        const int percent = int(100 * (k + 1) / n);
        if (percent != last) {
            last = percent;
            host.report(percent);
        }
    }
    return true;
}

std::wstring QXSameFileRule::description() const {
    const std::wstring algorithm = algorithmDescription(m_algorithm);
    return L"\"" + (algorithm.empty() ? std::to_wstring(m_algorithm) : algorithm) + L"\"[" +
           m_path + L"]";
}

std::shared_ptr<QXRule> QXSameFileRule::clone() const {
    auto copy = std::make_shared<QXSameFileRule>();
    copy->m_algorithm = m_algorithm;
    copy->m_path = m_path;
    copyBaseTo(*copy);
    return copy;
}

void QXSameFileRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"algo", std::to_wstring(m_algorithm));
    out.emplace_back(L"path", quotePairText(m_path));
}

void QXSameFileRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"algo", std::to_wstring(m_algorithm));
    appendLine(out, L"path", quoteLineText(m_path));
}

bool QXSameFileRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"algo") {
        m_algorithm = readInt32(value);
    } else if (key == L"path") {
        m_path = value;
    }
    return true;
}

}  // namespace quenrix
