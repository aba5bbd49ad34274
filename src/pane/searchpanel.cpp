#include "pane/searchpanel.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>

#include "pane/keywordbox.h"

namespace kolva {

namespace {

// A control named for what it is (tests and tools find controls by the name).
template <typename T>
T* Make(QWidget* parent, const char* name) {
    T* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

}  // namespace

CSearchPanel::CSearchPanel(QWidget* parent) : QWidget(parent) {
    // In the order of the Tab key.
    m_methodGroup = Make<QGroupBox>(this, "methodGroup");
    m_rangeGroup = Make<QGroupBox>(this, "rangeGroup");
    m_targetGroup = Make<QGroupBox>(this, "targetGroup");
    m_prompt = Make<QLabel>(this, "prompt");
    m_searchButton = Make<QPushButton>(this, "searchButton");
    m_andRadio = Make<QRadioButton>(m_methodGroup, "andRadio");
    m_orRadio = Make<QRadioButton>(m_methodGroup, "orRadio");
    m_totals = Make<QLabel>(this, "totals");
    m_rangeLabel = Make<QLabel>(m_rangeGroup, "rangeLabel");
    m_keyword = Make<QWidget>(this, "keywordBox");
    m_fullTextRadio = Make<QRadioButton>(m_targetGroup, "fullTextRadio");
    m_mainTextRadio = Make<QRadioButton>(m_targetGroup, "mainTextRadio");
    m_notesRadio = Make<QRadioButton>(m_targetGroup, "notesRadio");
    m_variantBox = Make<QCheckBox>(this, "variantBox");
    m_line = Make<QFrame>(this, "line");
    m_recentButton = Make<QToolButton>(this, "recentSearches");
    m_recentMenu = new QMenu(m_recentButton);

    m_methodGroup->setTitle(QStringLiteral("検索方法："));
    m_rangeGroup->setTitle(QStringLiteral("検索範囲："));
    m_targetGroup->setTitle(QStringLiteral("検索対象："));
    m_prompt->setText(QStringLiteral("キーワードを入力して下さい。"));
    m_searchButton->setText(QStringLiteral("検索"));
    m_andRadio->setText(QStringLiteral("and"));
    m_orRadio->setText(QStringLiteral("or"));
    m_totals->setText(QStringLiteral("検索集計："));
    m_totals->setWordWrap(true);
    m_fullTextRadio->setText(QStringLiteral("全文"));
    m_mainTextRadio->setText(QStringLiteral("正文"));
    m_notesRadio->setText(QStringLiteral("注釈"));
    m_variantBox->setText(QStringLiteral("簡繁・中日等の異体字の関連"));
    m_rangeLabel->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    m_recentButton->setArrowType(Qt::DownArrow);
    m_recentButton->setToolTip(QStringLiteral("最近の検索"));
    m_recentButton->setPopupMode(QToolButton::InstantPopup);
    m_recentButton->setMenu(m_recentMenu);
    m_line->setFrameShape(QFrame::HLine);
    m_line->setFrameShadow(QFrame::Sunken);

    // The and/or radios and the target radios: each set is one exclusive group.
    auto* andOr = new QButtonGroup(this);
    andOr->addButton(m_andRadio, 0);
    andOr->addButton(m_orRadio, 1);
    auto* target = new QButtonGroup(this);
    target->addButton(m_fullTextRadio, 0);
    target->addButton(m_mainTextRadio, 1);
    target->addButton(m_notesRadio, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_prompt);
    auto* keywordRow = new QHBoxLayout;
    keywordRow->setSpacing(2);
    m_keyword->setMinimumHeight(25);
    keywordRow->addWidget(m_keyword, 1);
    m_recentButton->setFixedWidth(20);
    keywordRow->addWidget(m_recentButton);
    m_searchButton->setFixedWidth(
        std::max(45, m_searchButton->fontMetrics().horizontalAdvance(m_searchButton->text()) + 14));
    keywordRow->addWidget(m_searchButton);
    layout->addLayout(keywordRow);
    layout->addWidget(m_line);
    layout->addWidget(m_variantBox);
    auto* methodLayout = new QHBoxLayout(m_methodGroup);
    methodLayout->setContentsMargins(5, 2, 5, 2);
    methodLayout->addWidget(m_andRadio);
    methodLayout->addStretch(1);
    methodLayout->addWidget(m_orRadio);
    methodLayout->addStretch(1);
    layout->addWidget(m_methodGroup);
    auto* targetLayout = new QHBoxLayout(m_targetGroup);
    targetLayout->setContentsMargins(5, 2, 5, 2);
    for (QWidget* radio : {m_fullTextRadio, m_mainTextRadio, m_notesRadio})
        targetLayout->addWidget(radio, 1);
    layout->addWidget(m_targetGroup);
    auto* rangeLayout = new QHBoxLayout(m_rangeGroup);
    rangeLayout->setContentsMargins(5, 2, 5, 2);
    rangeLayout->addWidget(m_rangeLabel);
    layout->addWidget(m_rangeGroup);
    layout->addWidget(m_totals);
}

CKeywordBox* CSearchPanel::MakeKeywordBox() {
    if (!m_keywordBox) m_keywordBox = CKeywordBox::ReplacePlaceholder(m_keyword);
    if (m_keywordBox) m_keyword = m_keywordBox;
    return m_keywordBox;
}

}  // namespace kolva
