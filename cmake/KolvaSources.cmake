# The sources of the core and of the windows, listed once for the main build and for fuzz/.
# Paths are relative to the project root; KOLVA_ROOT must name it before this file is included.
# A new source file is added here (the build does not glob).

# The core: standard library and POSIX only, no Qt. Layers from the bottom up.
set(KOLVA_CORE_FILES
  src/platform/file.cpp
  src/platform/scratch.cpp
  src/platform/replace_file.cpp
  src/platform/spill_file.cpp
  src/platform/state_folder.cpp
  src/platform/checksum.cpp
  src/platform/allocator.cpp
  src/text/utf16.cpp
  src/text/codeconverter.cpp
  src/text/utf8.cpp
  src/pagestore/filelist.cpp
  src/pagestore/compose.cpp
  src/pagestore/page_text.cpp
  src/pagestore/hitmark.cpp
  src/index/index.cpp
  src/index/block_cache.cpp
  src/index/slot_guides.cpp
  src/index/word_matcher.cpp
  src/index/index_search.cpp
  src/index/hit_finder.cpp
  src/index/search_result.cpp
  src/index/variants.cpp
  src/index/variant_forms.cpp
  src/index/pairs_format.cpp
  src/index/pairs.cpp
  src/index/pair_narrowing.cpp
  src/catalogue/catalogue.cpp
  src/catalogue/results.cpp
  src/catalogue/query.cpp
  src/concordance/page_lines.cpp
  src/concordance/concordance.cpp
  src/concordance/concordance_page.cpp
  src/writer/pagestore_writer.cpp
  src/writer/index_writer.cpp
  src/writer/catalogue_writer.cpp
  src/writer/pairs_writer.cpp
  src/builder/source.cpp
  src/builder/builder.cpp
)

# The importer: outside formats into source folders (a core layer above the builder), in a
# library of its own since it links libxml2, libzip and uchardet.
set(KOLVA_IMPORT_FILES
  src/import/book.cpp
  src/import/textfile.cpp
  src/import/xml.cpp
  src/import/zip.cpp
  src/import/plaintext.cpp
  src/import/aozora.cpp
  src/import/tei.cpp
  src/import/epub.cpp
  src/import/sourcefolder.cpp
  src/import/importer.cpp
)

# The windows: Qt Widgets and Qt WebEngine on top of the core. Headers are listed for moc.
set(KOLVA_APP_FILES
  src/ui/appinfo.h
  src/ui/icons.h src/ui/icons.cpp
  src/ui/messagebox.h src/ui/messagebox.cpp
  src/ui/trace.h src/ui/trace.cpp
  src/view/documentpage.h src/view/documentpage.cpp
  src/view/bookview.h src/view/bookview.cpp
  src/view/concordancescheme.h src/view/concordancescheme.cpp
  src/controls/xtoolbar.h src/controls/xtoolbar.cpp
  src/controls/scrolltoolbar.h src/controls/scrolltoolbar.cpp
  src/controls/st_splitterwnd.h src/controls/st_splitterwnd.cpp
  src/controls/tooltipbutton.h src/controls/tooltipbutton.cpp
  src/session/reading_session.h src/session/reading_session.cpp
  src/pane/keywordbox.h src/pane/keywordbox.cpp
  src/pane/resultlist.h src/pane/resultlist.cpp
  src/pane/searchpanel.h src/pane/searchpanel.cpp
  src/pane/contentstree.h src/pane/contentstree.cpp
  src/pane/concordancebrowser.h src/pane/concordancebrowser.cpp
  src/pane/leftform.h src/pane/leftform.cpp
  src/shell/aboutdlg.h src/shell/aboutdlg.cpp
  src/shell/splash.h src/shell/splash.cpp
  src/shell/commands.h
  src/shell/mainfrm.h src/shell/mainfrm.cpp
  src/shell/importcmd.h src/shell/importcmd.cpp
  src/shell/book.h src/shell/book.cpp
)

list(TRANSFORM KOLVA_CORE_FILES PREPEND ${KOLVA_ROOT}/ OUTPUT_VARIABLE KOLVA_CORE_SOURCES)
list(TRANSFORM KOLVA_IMPORT_FILES PREPEND ${KOLVA_ROOT}/ OUTPUT_VARIABLE KOLVA_IMPORT_SOURCES)
list(TRANSFORM KOLVA_APP_FILES PREPEND ${KOLVA_ROOT}/ OUTPUT_VARIABLE KOLVA_APP_SOURCES)
