// Hit marking: finds every occurrence of one keyword in a run of page text and writes the run
// again with each hit marked in red on grey and preceded by a numbered anchor.
//
// A keyword may hold "*" (any stretch inside one paragraph: never across "<p>" or "<h4>") and
// "?" (exactly 3 bytes, one CJK character in UTF-8). It is compiled into literal pieces:
//
//   A*B?C  ->  A (first) | B (after "*") | C (after "?", gap 1)
//
// Matching is on raw bytes: exact, case-sensitive, tags included. A full match of A*B?C over
// "A x B z C" is written as
//   [anchor n][mark]A[/mark] x [anchor n+1][mark]B[/mark][mark][anchor n+2]z[/mark]
//   [anchor n+3][mark]C[/mark]
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kolva {

// How a literal piece sits after the previous one.
enum SegKind : int32_t {
    kSegAfterStar = 0,      // anywhere later in the same paragraph
    kSegAfterQuestion = 1,  // exactly 3 x gap bytes after the previous literal
    kSegFirst = 2,          // the keyword's first literal (the keyword does not begin with "*")
};

// One literal piece of a compiled keyword.
struct Seg {
    int32_t kind = kSegFirst;  // SegKind
    std::string text;          // the literal's bytes, never empty in a finished list
    int32_t gap = 0;           // kSegAfterQuestion: the number of "?" before this literal
};

inline constexpr std::string_view kMarkOpen = "<b style='color:red;background:#D9D9D9;'>";
inline constexpr std::string_view kMarkClose = "</b>";
inline constexpr std::string_view kParagraphBarrier = "<p>";
inline constexpr std::string_view kHeadingBarrier = "<h4>";
// Bytes of text one "?" stands for.
inline constexpr size_t kQuestionWidth = 3;

// Compiles a keyword (UTF-8 bytes) into its literals. A keyword of only "*" and "?" has none.
std::vector<Seg> CompileKeyword(std::string_view keyword);
// Compiles one "*"-free piece of a keyword: its literal texts go into the Seg that the caller
// appended for the piece and into new kSegAfterQuestion Segs.
void CompilePiece(std::string_view piece, std::vector<Seg>& segs);

// The name of hit anchor number ("%04d": 0000, 0001, ...; five digits and more from 10000). The
// page composer writes it and the reader navigates to "#" followed by it.
std::string AnchorName(int number);
// Appends "<a name="%04d"></a>" for number to out.
void AppendAnchor(std::string& out, int number);

// Appends text to out with every hit of keyword marked. Each anchor written takes the value of
// anchorCounter, which then goes up by one. Text without a hit is copied byte for byte.
void HighlightItem(std::string_view text, std::string_view keyword, std::string& out,
                   int& anchorCounter);

}  // namespace kolva
