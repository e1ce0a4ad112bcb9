// The プリセット controls of the main form: register the current rules under a name
// holding a backslash and double quotes (a taken name asks again), apply the preset to
// an emptied rule list, and delete it, with the presets file following each step.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"
#include "doc/QXRulePreset.h"
#include "rule/QXFileExtRule.h"
#include "rule/QXFilenameRule.h"
#include "rule/QXRuleRegistry.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "ui/FormFixture.h"
#include "ui/UiTest.h"
#include "view/ui/CInputPresetNameDlg.h"
#include "view/ui/CQuenrixView.h"

using namespace quenrix;

namespace {

struct Form : test::FormFixture {
    explicit Form(const std::string& folder) { view.usePresetFolder(folder); }
    std::wstring lastBox() {
        return prompt.boxes.empty() ? std::wstring() : prompt.boxes.back().text;
    }
};

// Answers the next name dialog: types `name` and confirms, or cancels when null; then
// runs `then`. Gives up after a few seconds, closing whatever modal is open so that a
// test never hangs.
void answerNameDialog(std::shared_ptr<QString> name, std::function<void()> then = {},
                      int tries = 500) {
    QTimer::singleShot(10, [name, then, tries] {
        auto* dlg = qobject_cast<CInputPresetNameDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            if (tries > 0) return answerNameDialog(name, then, tries - 1);
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            return;
        }
        auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("c1040"));
        QVERIFY(edit);
        QVERIFY(edit->text().isEmpty());
        if (!name) {
            QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("IDCANCEL")),
                              Qt::LeftButton);
            return;
        }
        edit->setText(*name);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
        if (then) then();
    });
}

const std::wstring kName = L"C:\\set \"one\"";

}  // namespace

class PresetsTest : public QObject {
    Q_OBJECT
private slots:
    void registerApplyDelete() {
        test::TempDir dir;
        const std::string file = dir / QXRulePresets::kFileName;
        Form form(dir.path());
        form.view.show();
        auto* box = form.control<QComboBox>(1071);
        QCOMPARE(box->count(), 0);

        // No rules: nothing happens, not even the dialog.
        form.click(1072);
        QVERIFY(form.prompt.boxes.empty());
        QVERIFY(!test::pathExists(file));

        auto name = std::dynamic_pointer_cast<QXFilenameRule>(createRule(ruletype::kFilename));
        name->setPattern(L"a\\b\"c");
        auto ext = std::make_shared<QXFileExtRule>();
        ext->setExtensions(L"jpg");
        form.view.appendRule(name);
        form.view.appendRule(ext);
        groupRules({name, ext}, QXRuleGroup::kOr);
        form.control<QComboBox>(1124)->setCurrentIndex(1);

        answerNameDialog(std::make_shared<QString>(QString::fromStdWString(kName)));
        form.click(1072);
        QCOMPARE(form.lastBox(), L"プリセット「" + kName + L"」を登録しました。");
        QCOMPARE(box->count(), 1);
        QCOMPARE(box->currentText().toStdWString(), kName);
        QVERIFY(test::readFile(file).find("Name=\"C:\\\\set \\\"one\\\"\"") != std::string::npos);

        // A taken name asks again; cancelling the second dialog registers nothing.
        const size_t boxes = form.prompt.boxes.size();
        answerNameDialog(std::make_shared<QString>(QString::fromStdWString(kName)),
                         [] { answerNameDialog(nullptr); });
        form.click(1072);
        QCOMPARE(form.prompt.boxes.size(), boxes + 1);
        QCOMPARE(form.lastBox(), std::wstring(L"そのプリセット名はすでに使われています"));
        QCOMPARE(form.view.presets().list().size(), size_t(1));

        // Apply, after a restart, to an emptied rule list.
        Form other(dir.path());
        auto* otherBox = other.control<QComboBox>(1071);
        QCOMPARE(otherBox->count(), 1);
        QCOMPARE(otherBox->itemText(0).toStdWString(), kName);
        QVERIFY(other.doc.rules.empty());
        otherBox->setCurrentIndex(0);
        emit otherBox->activated(0);
        QCOMPARE(other.doc.rules.size(), size_t(2));
        QCOMPARE(other.doc.ruleOperator, CQuenrixDoc::kRuleOr);
        QCOMPARE(other.control<QComboBox>(1124)->currentIndex(), 1);
        auto applied = std::dynamic_pointer_cast<QXFilenameRule>(other.doc.rules[0]);
        QVERIFY(applied);
        QCOMPARE(applied->pattern(), std::wstring(L"a\\b\"c"));
        QVERIFY(applied->group());
        QCOMPARE(applied->group(), other.doc.rules[1]->group());
        QCOMPARE(applied->groupType(), QXRuleGroup::kOr);
        QVERIFY(other.doc.rules[0] != other.view.presets().list()[0]->rules[0]);

        // Delete; No keeps it, Yes removes it from the selector and the file.
        other.prompt.answers = {QXAnswer::No};
        other.click(1073);
        QCOMPARE(otherBox->count(), 1);
        other.click(1073);
        QCOMPARE(other.lastBox(), L"プリセット「" + kName + L"」を削除しました。");
        QCOMPARE(otherBox->count(), 0);
        QVERIFY(test::readFile(file).find("<Preset>") == std::string::npos);
        Form after(dir.path());
        QCOMPARE(after.control<QComboBox>(1071)->count(), 0);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QX_UI_TEST(PresetsTest);

#include "presets_test.moc"
