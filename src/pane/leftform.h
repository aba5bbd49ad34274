// The left pane: contents tree, search panel and result list. It owns the index of the
// collection and keeps the reading position; the algorithms live in the core.
#pragma once

#include <QWidget>
#include <filesystem>

#include "index/index.h"

namespace kolva {

class CLeftForm : public QWidget {
    Q_OBJECT
public:
    // dataFolder holds the collection; scratchFolder the pages shown in the reading view.
    CLeftForm(const std::filesystem::path& dataFolder, const std::filesystem::path& scratchFolder,
              QWidget* parent = nullptr);
    ~CLeftForm() override;

    void OnInitialUpdate();

    CIndex m_index;                          // the collection's index and page store
    std::filesystem::path m_dataFolder;      // folder of the data files
    std::filesystem::path m_strTempPage;     // "windows.html"
    std::filesystem::path m_strTempResult1;  // "windows1.html"
    std::filesystem::path m_strTempResult2;  // "windows2.html"
    int m_nCurNode = 0;                      // slot of the volume being read, 0 = none
    int m_nCurPage = 0;                      // page number being read
};

}  // namespace kolva
