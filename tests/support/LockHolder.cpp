// Holds an exclusive lock on a database until its standard input closes:
// "another program" for the tests of locked project databases. With
// "--read" it only reads the database once and closes it, as a program
// that looks into a project does.

#include <cstdio>
#include <sqlite3.h>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) return 1;
    if (argc == 3) {
        const int read = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return read == SQLITE_OK ? 0 : 1;
    }
    if (sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; SELECT count(*) FROM sqlite_master;", nullptr,
                     nullptr, nullptr) != SQLITE_OK)
        return 1;
    std::puts("locked");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
