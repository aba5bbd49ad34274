// kolva_fts5_peer: the SQLite FTS5 side of bench/compare.
//
//   kolva_fts5_peer build DB char|trigram TEXTDIR
//       Makes DB with one FTS5 table per target (whole, main, notes) from TEXTDIR/<target>.txt
//       (one page a line, rowid = page index), then merges each table's segments ("optimize"),
//       as one would before publishing a collection. "char" tables get one token per indexed
//       character (the characters are written space-separated and the ascii tokenizer keeps every
//       non-ASCII character in a token); "trigram" tables take the text as it is. Prints the
//       seconds taken.
//   kolva_fts5_peer query DB TABLE QUERYFILE REPEAT
//       Runs every line of QUERYFILE (an FTS5 MATCH expression) REPEAT times in one process and
//       prints "pages<TAB>median microseconds" per line. A run steps through every matching rowid.
//   kolva_fts5_peer mixed DB TABLE QUERYFILE REPEAT
//       The same, but the whole file runs REPEAT times over instead, so that the other queries
//       come between a query's runs (the mixed list, as bench/compare runs kolva-search too).
//   kolva_fts5_peer list DB TABLE QUERYFILE
//       Prints "pages<TAB>instances<TAB>page:instances ..." per line (page order), the instances
//       of all phrases of the expression on each page, for the agreement check.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw std::runtime_error(what + ": " + (db ? sqlite3_errmsg(db) : "no database"));
}

void Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(sql + ": " + message);
    }
}

sqlite3* OpenDb(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) Fail(db, "open " + path);
    return db;
}

// The characters of a UTF-8 line with one space between them.
std::string Spaced(const std::string& line) {
    std::string out;
    out.reserve(line.size() * 4 / 3 + 1);
    for (size_t i = 0; i < line.size(); ++i) {
        if (i && (uint8_t(line[i]) & 0xC0) != 0x80) out += ' ';
        out += line[i];
    }
    return out;
}

int Build(const std::string& dbPath, const std::string& kind, const std::string& textDir) {
    if (kind != "char" && kind != "trigram") throw std::runtime_error("kind is char or trigram");
    std::remove(dbPath.c_str());
    const auto start = Clock::now();
    sqlite3* db = OpenDb(dbPath, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144");
    const std::string tokenizer = kind == "char" ? "ascii" : "trigram";
    for (const char* table : {"whole", "main", "notes"}) {
        Exec(db, std::string("CREATE VIRTUAL TABLE ") + table + " USING fts5(t, tokenize='" +
                     tokenizer + "')");
        Exec(db, "BEGIN");
        sqlite3_stmt* insert = nullptr;
        if (sqlite3_prepare_v2(db, (std::string("INSERT INTO ") + table + "(rowid, t) VALUES(?, ?)").c_str(),
                               -1, &insert, nullptr) != SQLITE_OK)
            Fail(db, "prepare");
        std::ifstream in(textDir + "/" + table + ".txt", std::ios::binary);
        if (!in) throw std::runtime_error("cannot read " + textDir + "/" + table + ".txt");
        std::string line, text;
        for (sqlite3_int64 page = 0; std::getline(in, line); ++page) {
            text = kind == "char" ? Spaced(line) : line;
            sqlite3_bind_int64(insert, 1, page);
            sqlite3_bind_text(insert, 2, text.data(), int(text.size()), SQLITE_STATIC);
            if (sqlite3_step(insert) != SQLITE_DONE) Fail(db, "insert");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        Exec(db, "COMMIT");
        Exec(db, std::string("INSERT INTO ") + table + "(" + table + ") VALUES('optimize')");
    }
    if (sqlite3_close(db) != SQLITE_OK) Fail(db, "close");
    std::printf("%.3f\n", std::chrono::duration<double>(Clock::now() - start).count());
    return 0;
}

void InstanceCount(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int,
                   sqlite3_value**) {
    int n = 0;
    if (api->xInstCount(fts, &n) != SQLITE_OK) {
        sqlite3_result_error(result, "xInstCount failed", -1);
        return;
    }
    sqlite3_result_int(result, n);
}

void RegisterInstanceCount(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &st, nullptr) != SQLITE_OK) Fail(db, "fts5()");
    sqlite3_bind_pointer(st, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(st);
    sqlite3_finalize(st);
    if (!api || api->xCreateFunction(api, "instances", nullptr, InstanceCount, nullptr) != SQLITE_OK)
        Fail(db, "cannot register the instance count");
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// How Query runs the queries of its file.
enum class Runs {
    kList,     // once each, listing the pages and instances
    kInARow,   // each REPEAT times in a row
    kMixed,    // the whole file REPEAT times over, so that the other queries come between a
               // query's runs (what a session of varied searches sees of the caches)
};

int Query(const std::string& dbPath, const std::string& table, const std::string& queryFile,
          int repeat, Runs runs) {
    const bool list = runs == Runs::kList;
    sqlite3* db = OpenDb(dbPath, SQLITE_OPEN_READONLY);
    // Reads go through a mapping of the whole file, as the index reads its postings.
    Exec(db, "PRAGMA mmap_size=68719476736; PRAGMA cache_size=-65536");
    if (list) RegisterInstanceCount(db);
    const std::string sql = list ? "SELECT rowid, instances(" + table + ") FROM " + table +
                                       " WHERE " + table + " MATCH ?1 ORDER BY rowid"
                                 : "SELECT rowid FROM " + table + " WHERE " + table + " MATCH ?1";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) Fail(db, "prepare");
    const std::vector<std::string> queries = ReadLines(queryFile);
    std::vector<std::vector<double>> times(queries.size());
    std::vector<long> pages(queries.size(), 0);
    std::string out;
    const int rounds = runs == Runs::kMixed ? repeat : 1;
    const int inARow = runs == Runs::kInARow ? repeat : 1;
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < queries.size(); ++k) {
            const std::string& q = queries[k];
            long instances = 0;
            std::string pairs;
            for (int r = 0; r < inARow; ++r) {
                pages[k] = 0;
                const auto start = Clock::now();
                sqlite3_bind_text(st, 1, q.data(), int(q.size()), SQLITE_STATIC);
                int rc;
                while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                    ++pages[k];
                    if (list) {
                        const long n = sqlite3_column_int(st, 1);
                        instances += n;
                        pairs += (pairs.empty() ? "" : " ") +
                                 std::to_string(sqlite3_column_int64(st, 0)) + ":" +
                                 std::to_string(n);
                    }
                }
                if (rc != SQLITE_DONE) Fail(db, "query " + q);
                sqlite3_reset(st);
                times[k].push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            }
            if (list)
                out += std::to_string(pages[k]) + '\t' + std::to_string(instances) + '\t' +
                       pairs + '\n';
        }
    }
    for (size_t k = 0; k < queries.size() && !list; ++k) {
        std::sort(times[k].begin(), times[k].end());
        char buf[64];
        std::snprintf(buf, sizeof buf, "%ld\t%.1f\n", pages[k], times[k][times[k].size() / 2]);
        out += buf;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    std::cout << out;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> a(argv + 1, argv + argc);
        if (a.size() == 4 && a[0] == "build") return Build(a[1], a[2], a[3]);
        if (a.size() == 5 && (a[0] == "query" || a[0] == "mixed"))
            return Query(a[1], a[2], a[3], std::max(1, std::stoi(a[4])),
                         a[0] == "query" ? Runs::kInARow : Runs::kMixed);
        if (a.size() == 4 && a[0] == "list") return Query(a[1], a[2], a[3], 1, Runs::kList);
        std::cerr << "Usage: kolva_fts5_peer build DB char|trigram TEXTDIR\n"
                     "       kolva_fts5_peer query|mixed DB TABLE QUERYFILE REPEAT\n"
                     "       kolva_fts5_peer list DB TABLE QUERYFILE\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "kolva_fts5_peer: " << e.what() << '\n';
        return 1;
    }
}
