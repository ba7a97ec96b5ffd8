// A file written under a temporary name beside its final one and renamed to
// it once whole: a run that fails or is stopped leaves nothing under the
// final name, and, as the temporary is then removed, nothing at all.
#pragma once

#include <string>

class temporary_file {
public:
    explicit temporary_file(std::string final_path);
    // Removes the temporary file unless it was kept.
    ~temporary_file();
    temporary_file(const temporary_file&) = delete;
    temporary_file& operator=(const temporary_file&) = delete;

    // Creates the temporary file, empty: the final name with the process
    // number and ".part" after it. Refuses a final name that is a folder.
    // On failure returns false with a message in error.
    bool create(std::string& error);

    const std::string& path() const { return temporary_; }

    // Renames the temporary file to the final name.
    bool keep(std::string& error);

private:
    std::string final_;
    std::string temporary_;
    bool created_ = false;
};
