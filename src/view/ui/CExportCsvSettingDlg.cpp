#include "view/ui/CExportCsvSettingDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "core/ui/QtText.h"
#include "view/QXColumns.h"

namespace quenrix {

namespace {

constexpr int kTypeRole = Qt::UserRole;

struct Choice {
    int id;
    const char16_t* text;
    int value;
};

int typeOf(const QListWidgetItem* item) {
    return item->data(kTypeRole).toInt();
}

QListWidgetItem* makeEntry(int32_t type) {
    auto* item = new QListWidgetItem(toQtText(columnHeader(type)));
    item->setData(kTypeRole, int(type));
    return item;
}

// The selected entry, or null (a current row that is not selected does not count).
QListWidgetItem* selectedEntry(const QListWidget* list) {
    QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? item : nullptr;
}

void selectRow(QListWidget* list, int row) {
    if (list->count() == 0) return;
    list->setCurrentRow(std::clamp(row, 0, list->count() - 1));
}

// Puts `type` back into the list of unused columns, which stays in type order.
void insertUnused(QListWidget* unused, int32_t type) {
    int row = 0;
    while (row < unused->count() && typeOf(unused->item(row)) < type) ++row;
    unused->insertItem(row, makeEntry(type));
}

QGroupBox* radioGroup(const QString& title, std::initializer_list<Choice> choices, int checked,
                      QButtonGroup* group, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(box);
    for (const Choice& choice : choices) {
        auto* radio = new QRadioButton(QString::fromUtf16(choice.text), box);
        radio->setObjectName(QStringLiteral("c%1").arg(choice.id));
        group->addButton(radio, choice.value);
        radio->setChecked(choice.value == checked);
        layout->addWidget(radio);
    }
    layout->addStretch(1);
    return box;
}

QPushButton* makeButton(const QString& text, int id, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("c%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

QListWidget* makeList(int id, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QStringLiteral("c%1").arg(id));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setMinimumSize(list->fontMetrics().averageCharWidth() * 24,
                         list->fontMetrics().height() * 14);
    return list;
}

}  // namespace

CExportCsvSettingDlg::CExportCsvSettingDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("エクスポート"));
    const QXCsvExportSettings defaults = QXCsvExportSettings::defaults();

    m_rows = new QButtonGroup(this);
    m_separator = new QButtonGroup(this);
    m_encoding = new QButtonGroup(this);
    QGroupBox* rows =
        radioGroup(QStringLiteral("出力対象"),
                   {{1076, u"削除対象", 0}, {1077, u"削除対象以外", 1}, {1075, u"全部", 2}},
                   defaults.rows, m_rows, this);
    QGroupBox* separator =
        radioGroup(QStringLiteral("区切り"), {{1085, u"カンマ", 0}, {1084, u"タブ", 1}},
                   defaults.separator, m_separator, this);
    QGroupBox* encoding =
        radioGroup(QStringLiteral("文字コード"), {{1119, u"SJIS", 0}, {1120, u"UTF-8", 1}},
                   int(defaults.encoding), m_encoding, this);
    m_quote = new QCheckBox(QStringLiteral("ダブルクォーテーションで囲む"), this);
    m_quote->setObjectName(QStringLiteral("c1086"));
    m_quote->setChecked(defaults.quote);
    m_unit = new QCheckBox(QStringLiteral("ファイルサイズは自動で単位変換する"), this);
    m_unit->setObjectName(QStringLiteral("c1087"));
    m_unit->setChecked(defaults.sizeWithUnit);

    m_output = makeList(1078, this);
    // The output order can also be changed by dragging within the list.
    m_output->setDragDropMode(QAbstractItemView::InternalMove);
    m_unused = makeList(1079, this);
    for (int32_t type : defaults.columns) {
        if (type >= 0 && type < kAllColumnTypes) m_output->addItem(makeEntry(type));
    }
    for (int32_t type = 0; type < kAllColumnTypes; ++type) {
        if (!std::count(defaults.columns.begin(), defaults.columns.end(), type)) {
            m_unused->addItem(makeEntry(type));
        }
    }
    m_add = makeButton(QStringLiteral("追加 →"), 1080, this);
    m_remove = makeButton(QStringLiteral("← 削除"), 1081, this);
    m_addAll = makeButton(QStringLiteral("すべて追加"), 1082, this);
    m_removeAll = makeButton(QStringLiteral("すべて削除"), 1083, this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("c1"));
    auto* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("キャンセル"));
    cancel->setObjectName(QStringLiteral("c2"));

    auto* options = new QHBoxLayout;
    options->addWidget(rows);
    options->addWidget(separator);
    options->addWidget(encoding);
    auto* checks = new QVBoxLayout;
    checks->addWidget(m_quote);
    checks->addWidget(m_unit);

    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(m_add);
    middle->addWidget(m_remove);
    middle->addSpacing(m_add->sizeHint().height() / 2);
    middle->addWidget(m_addAll);
    middle->addWidget(m_removeAll);
    middle->addStretch(1);
    auto* columnBox = new QGroupBox(QStringLiteral("出力項目"), this);
    auto* columns = new QGridLayout(columnBox);
    columns->addWidget(new QLabel(QStringLiteral("未出力:"), columnBox), 0, 0);
    columns->addWidget(new QLabel(QStringLiteral("出力:"), columnBox), 0, 2);
    columns->addWidget(m_unused, 1, 0);
    columns->addLayout(middle, 1, 1);
    columns->addWidget(m_output, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addLayout(checks);
    layout->addWidget(columnBox, 1);
    layout->addWidget(buttons);

    const auto updateButtons = [this] {
        m_add->setEnabled(selectedEntry(m_unused) != nullptr);
        m_remove->setEnabled(selectedEntry(m_output) != nullptr);
        m_addAll->setEnabled(m_unused->count() > 0);
        m_removeAll->setEnabled(m_output->count() > 0);
    };
    for (QListWidget* list : {m_output, m_unused}) {
        connect(list, &QListWidget::itemSelectionChanged, this, updateButtons);
        connect(list, &QListWidget::currentRowChanged, this, updateButtons);
        connect(list->model(), &QAbstractItemModel::rowsInserted, this, updateButtons);
        connect(list->model(), &QAbstractItemModel::rowsRemoved, this, updateButtons);
    }
    connect(m_add, &QPushButton::clicked, this, &CExportCsvSettingDlg::onAdd);
    connect(m_remove, &QPushButton::clicked, this, &CExportCsvSettingDlg::onRemove);
    connect(m_addAll, &QPushButton::clicked, this, &CExportCsvSettingDlg::onAddAll);
    connect(m_removeAll, &QPushButton::clicked, this, &CExportCsvSettingDlg::onRemoveAll);
    connect(m_unused, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_unused->setCurrentItem(item);
        onAdd();
    });
    connect(m_output, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_output->setCurrentItem(item);
        onRemove();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateButtons();
}

QXCsvExportSettings CExportCsvSettingDlg::settings() const {
    QXCsvExportSettings out;
    out.rows = std::max(0, m_rows->checkedId());
    out.separator = std::max(0, m_separator->checkedId());
    out.encoding = m_encoding->checkedId() == int(QXCsvEncoding::kSjis) ? QXCsvEncoding::kSjis
                                                                        : QXCsvEncoding::kUtf8;
    out.quote = m_quote->isChecked();
    out.sizeWithUnit = m_unit->isChecked();
    for (int row = 0; row < m_output->count(); ++row) {
        out.columns.push_back(typeOf(m_output->item(row)));
    }
    return out;
}

void CExportCsvSettingDlg::onAdd() {
    QListWidgetItem* item = selectedEntry(m_unused);
    if (!item || m_output->count() >= kAllColumnTypes) return;
    const int row = m_unused->row(item);
    m_output->addItem(m_unused->takeItem(row));
    m_output->clearSelection();
    selectRow(m_unused, row);
}

void CExportCsvSettingDlg::onRemove() {
    QListWidgetItem* item = selectedEntry(m_output);
    if (!item) return;
    const int row = m_output->row(item);
    const int32_t type = typeOf(item);
    delete m_output->takeItem(row);
    insertUnused(m_unused, type);
    selectRow(m_output, row);
}

void CExportCsvSettingDlg::onAddAll() {
    while (m_unused->count() > 0 && m_output->count() < kAllColumnTypes) {
        m_output->addItem(m_unused->takeItem(0));
    }
}

void CExportCsvSettingDlg::onRemoveAll() {
    while (m_output->count() > 0) {
        const int32_t type = typeOf(m_output->item(0));
        delete m_output->takeItem(0);
        insertUnused(m_unused, type);
    }
}

}  // namespace quenrix
