// The search panel of the pane's 検索 tab: the keyword box (a placeholder until the pane puts the
// box in its place), the recent searches, the 検索 button, the variant box, the and/or radios,
// the target radios, the range and the totals, laid out top to bottom. It makes, groups and lays
// out its controls; the pane reads them and fills them in.
#pragma once

#include <QWidget>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kolva {

class CSearchPanel : public QWidget {
    Q_OBJECT
public:
    explicit CSearchPanel(QWidget* parent = nullptr);

    QLabel* Prompt() const { return m_prompt; }                   // 1004
    QWidget* KeywordPlaceholder() const { return m_keyword; }     // 1041
    QToolButton* RecentButton() const { return m_recentButton; }  // 1063
    QMenu* RecentMenu() const { return m_recentMenu; }
    QPushButton* SearchButton() const { return m_searchButton; }  // 1011
    QFrame* Line() const { return m_line; }                       // 1062
    QCheckBox* VariantBox() const { return m_variantBox; }        // 1061
    QGroupBox* MethodGroup() const { return m_methodGroup; }      // 1022
    QRadioButton* AndRadio() const { return m_andRadio; }         // 1019
    QRadioButton* OrRadio() const { return m_orRadio; }           // 1020
    QGroupBox* TargetGroup() const { return m_targetGroup; }      // 1045
    QRadioButton* FullTextRadio() const { return m_fullTextRadio; }  // 1042
    QRadioButton* MainTextRadio() const { return m_mainTextRadio; }  // 1043
    QRadioButton* NotesRadio() const { return m_notesRadio; }        // 1044
    QGroupBox* RangeGroup() const { return m_rangeGroup; }        // 1033
    QLabel* RangeLabel() const { return m_rangeLabel; }           // 1035
    QLabel* Totals() const { return m_totals; }                   // 1030

private:
    QLabel* m_prompt;
    QWidget* m_keyword;
    QToolButton* m_recentButton;
    QMenu* m_recentMenu;
    QPushButton* m_searchButton;
    QFrame* m_line;
    QCheckBox* m_variantBox;
    QGroupBox* m_methodGroup;
    QRadioButton* m_andRadio;
    QRadioButton* m_orRadio;
    QGroupBox* m_targetGroup;
    QRadioButton* m_fullTextRadio;
    QRadioButton* m_mainTextRadio;
    QRadioButton* m_notesRadio;
    QGroupBox* m_rangeGroup;
    QLabel* m_rangeLabel;
    QLabel* m_totals;
};

}  // namespace kolva
