// A fresh folder for one test, laid out like the program's own folder (setting\, download\), and
// removed with everything in it afterwards.
#pragma once
#include <string>

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with its trailing backslash.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Points the program's fixed paths at `folder` (as if quovar.exe lived there).
void usePathsIn(const std::string& folder);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
