// Times the title index against a plain sequential read and copy of the same
// file, for indexes of 1,000, 10,000 and 100,000 records. Prints figures;
// asserts nothing.
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "TitleIndex.h"

namespace {

const int kTracksPerDisc = 12;

std::string folder;

double secondsOf(void (*work)(const std::string&), const std::string& path) {
    double best = 1e9;
    for (int run = 0; run < 5; run++) {
        auto start = std::chrono::steady_clock::now();
        work(path);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < best)
            best = seconds;
    }
    return best;
}

void discId(char id[kDiscIdSize], int record) { formatDiscId(id, kTracksPerDisc, record & 0xFFFF, record >> 16); }

void buildIndex(const std::string& path, int records) {
    FILE* file = fopen(path.c_str(), "wb");
    for (int i = 0; i < records; i++) {
        char id[kDiscIdSize];
        discId(id, i);
        fprintf(file, "%s\r\n+Title of disc %d\r\n-Artist %d\r\n", id, i, i % 97);
        for (int t = 1; t <= kTracksPerDisc; t++)
            fprintf(file, "#Track name number %d\r\n", t);
        fputs("\r\n", file);
    }
    fclose(file);
}

int lastRecord;
TitleRecord titles;

void loadLast(const std::string& path) {
    char id[kDiscIdSize];
    discId(id, lastRecord);
    loadTitleRecord(path.c_str(), id, kTracksPerDisc, &titles);
}

void saveRecord(const std::string& path, int record) {
    char id[kDiscIdSize];
    discId(id, record);
    std::string temp = folder + "/drovix.tmp";
    rewriteTitleIndex(path.c_str(), temp.c_str(), id, kTracksPerDisc, &titles);
}

// The new record is appended once; later runs replace it, at the same cost.
void saveExisting(const std::string& path) { saveRecord(path, lastRecord); }
void saveNew(const std::string& path) { saveRecord(path, lastRecord + 1); }

void plainRead(const std::string& path) {
    char buffer[4096];
    FILE* file = fopen(path.c_str(), "rb");
    volatile size_t total = 0;
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        total = total + got;
    fclose(file);
}

void plainCopy(const std::string& path) {
    char buffer[4096];
    std::string copy = folder + "/copy.tmp";
    FILE* in = fopen(path.c_str(), "rb");
    FILE* out = fopen(copy.c_str(), "wb");
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0)
        fwrite(buffer, 1, got, out);
    fclose(in);
    fclose(out);
}

} // namespace

int main() {
    folder = (std::filesystem::temp_directory_path() / "drovix-bench").string();
    std::filesystem::create_directories(folder);
    setDefaultTitles(&titles);
    printf("%9s %9s | %12s %12s %7s | %12s %12s %12s %7s %7s\n", "records", "MB", "read MB/s", "load MB/s", "ratio",
           "copy MB/s", "save MB/s", "new MB/s", "ratio", "new");
    for (int records : {1000, 10000, 100000}) {
        std::string index = folder + "/drovix.idx";
        buildIndex(index, records);
        lastRecord = records - 1;
        double megabytes = (double)std::filesystem::file_size(index) / 1e6;
        double read = megabytes / secondsOf(plainRead, index);
        double load = megabytes / secondsOf(loadLast, index);
        double copy = megabytes / secondsOf(plainCopy, index);
        double save = megabytes / secondsOf(saveExisting, index);
        buildIndex(index, records);
        double added = megabytes / secondsOf(saveNew, index);
        printf("%9d %9.1f | %12.0f %12.0f %7.2f | %12.0f %12.0f %12.0f %7.2f %7.2f\n", records, megabytes, read, load,
               load / read, copy, save, added, save / copy, added / copy);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
