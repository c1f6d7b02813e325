// The names files get: from the URL at registration, from a server's Content-Disposition, and the
// numbering that keeps two items from sharing a file.
#include "common/save_name.h"
#include "engine/content_disposition.h"
#include "lists/save_path_claims.h"
#include <gtest/gtest.h>
#include <string>

namespace {

// The system's conversion for a few characters, so that the rules run natively too: 日, 本, ソ
// and 表 have code page 932 forms (ソ and 表 end in 0x5C); é, € and anything else have none.
bool fewCharacters(std::string_view utf8, std::string& out) {
    static const struct {
        std::string_view utf8, cp932;
    } table[] = {{"\xE6\x97\xA5", "\x93\xFA"}, {"\xE6\x9C\xAC", "\x96\x7B"},
                 {"\xE3\x82\xBD", "\x83\x5C"}, {"\xE8\xA1\xA8", "\x95\x5C"}};
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out += utf8[i++];
            continue;
        }
        bool known = false;
        for (const auto& row : table)
            if (utf8.substr(i, row.utf8.size()) == row.utf8) {
                out.append(row.cp932);
                i += row.utf8.size();
                known = true;
                break;
            }
        if (!known) return false;
    }
    return true;
}

TEST(SaveName, RegistrationName_FromTheLastSegmentDecoded) {
    const std::string longName(300, 'a');
    std::string longDoubleByte;
    for (int i = 0; i < 200; ++i) longDoubleByte += "ソ";
    const struct {
        std::string url, name;
    } cases[] = {
        {"http://h/d/f.zip", "f.zip"},
        {"https://h:8443/d/f.zip", "f.zip"},
        // A folder, a query, a fragment: the name is the path's, and an empty one is the index page.
        {"http://h/dir/", "index.html"},
        {"http://h/d/#top", "index.html"},
        {"http://h/get.php?id=5&t=zip", "get.php"},
        {"http://h/a/b.zip?x=a/b#c/d", "b.zip"},
        {"http://h/a/b.zip#c?d", "b.zip"},
        // A '?' or '#' in a password is not the path's end; a URL without a path names no file.
        {"http://u:p?w@h/d/f.zip", "f.zip"},
        {"http://u:p#w@h/", "index.html"},
        {"http://host", "index.html"},
        // Percent-decoded; UTF-8 in code page 932 where every character has a form there.
        {"http://h/report%20final.pdf", "report final.pdf"},
        {"http://h/100%25", "100%"},
        {"http://h/50%", "50%"},
        {"http://h/%E6%97%A5%E6%9C%AC.pdf", "日本.pdf"},
        {"http://h/%E3%82%BD%E8%A1%A8.txt", "ソ表.txt"},
        {"http://h/%c3%a9t%c3%a9%20x.txt", "%c3%a9t%c3%a9%20x.txt"},  // é has no form: left encoded
        {"http://h/%83%5C.txt", "%83%5C.txt"},                        // not UTF-8: left encoded
        {"http://h/%E6%97.txt", "%E6%97.txt"},                        // cut UTF-8
        {"http://h/d/ソ表.txt", "ソ表.txt"},                          // pasted code page 932 text
        // Then the safe-name rule: nothing decoded names another folder, a device or a control code.
        {"http://h/a%2F..%2F..%2Fevil.exe", "a_.._.._evil.exe"},
        {"http://h/..%5C..%5Cevil.exe", ".._.._evil.exe"},
        {"http://h/C%3A%5Cevil", "C__evil"},
        {"http://h/a%00b%0Ac", "a_b_c"},
        {"http://h/%2E%2E", "__"},
        {"http://h/.", "_"},
        {"http://h/CON", "_CON"},
        {"http://h/%43ON", "_CON"},
        {"http://h/nul.txt", "_nul.txt"},
        {"http://h/com1.zip", "_com1.zip"},
        {"http://h/com10", "com10"},
        // Trailing dots and blanks, which Windows drops when it makes the file.
        {"http://h/name.", "name"},
        {"http://h/name.txt%20%20", "name.txt"},
        {"http://h/a.%20.", "a"},
        // At most 255 bytes, the extension kept, never half a double-byte character.
        {"http://h/" + longName + ".zip", std::string(251, 'a') + ".zip"},
        {"http://h/" + longDoubleByte + ".txt", longDoubleByte.substr(0, 250) + ".txt"},
        {"http://h/" + longName, std::string(255, 'a')},
        // The device rule comes after the cut: "NULxxxx.<251 a>" cut to 255 bytes would be NUL's.
        {"http://h/NULxxxx." + std::string(251, 'a'), "_NU." + std::string(251, 'a')},
    };
    for (const auto& c : cases) EXPECT_EQ(registrationName(c.url, fewCharacters), c.name) << c.url;
    // Without a conversion, decoded UTF-8 stays encoded.
    EXPECT_EQ(registrationName("http://h/%E6%97%A5.pdf", nullptr), "%E6%97%A5.pdf");
}

TEST(SaveName, DispositionName_FilenameAndFilenameStar) {
    const std::string huge(10000, 'x');
    const struct {
        std::string value, name;
    } cases[] = {
        // The examples of RFC 6266.
        {"Attachment; filename=example.html", "example.html"},
        {"INLINE; FILENAME= \"an example.html\"", "an example.html"},
        {"attachment; filename*= UTF-8''%e2%82%ac%20rates", ""},  // the euro sign has no form here
        {"attachment; filename=\"EURO rates\"; filename*=utf-8''%e2%82%ac%20rates", "EURO rates"},
        // filename* wins; its charsets; quoted, unquoted, escapes, other parameters around it.
        {"attachment; filename=\"setup-2.4.exe\"", "setup-2.4.exe"},
        {"attachment; filename=\"fallback.txt\"; filename*=UTF-8''%E6%97%A5%E6%9C%AC.pdf", "日本.pdf"},
        {"attachment; filename*=iso-8859-1'en'%41%42.txt", "AB.txt"},
        {"attachment; filename*=koi8-r''abc; filename=fallback.txt", "fallback.txt"},
        {"attachment; filename*=UTF-8'no-second-quote; filename=f.txt", "f.txt"},
        {"attachment; filename=\"semi;colon.txt\"; size=3", "semi;colon.txt"},
        {"attachment; filename=plain.txt ; other=1", "plain.txt"},
        {"attachment; filename=\"a\\\"b.txt\"", "a_b.txt"},
        {"attachment; filename=\"unterminated.txt", "unterminated.txt"},
        {"attachment; filename=\"\xE6\x97\xA5.txt\"", "日.txt"},  // UTF-8 sent as it is
        {"attachment; filename=\"ソ表.txt\"", "ソ表.txt"},      // code page 932 sent as it is, trail bytes '\'
        // Hostile: folders, drives, nothing, dots, devices, control codes, sheer length.
        {"attachment; filename=\"../../evil.exe\"", "evil.exe"},
        {"attachment; filename=\"..\\\\..\\\\evil.exe\"", "evil.exe"},
        {"attachment; filename=..\\..\\evil.exe", "evil.exe"},
        {"attachment; filename*=UTF-8''..%2F..%2Fevil.exe", "evil.exe"},
        {"attachment; filename=\"C:\\\\Windows\\\\evil.exe\"", "evil.exe"},
        {"attachment; filename=C:evil.exe", "evil.exe"},
        {"attachment; filename=\"C:\\\\\"", ""},
        {"attachment; filename=\"../\"", ""},
        {"attachment; filename=\"..\"", ""},
        {"attachment; filename=\". .\"", ""},
        {"attachment; filename=\"\"", ""},
        {"attachment; filename=", ""},
        {"attachment; filename", ""},
        {"attachment", ""},
        {"", ""},
        {"attachment; filename=\"CON.txt\"", "_CON.txt"},
        {"attachment; filename=\"a\x01|b.txt\"", "a__b.txt"},
        {"attachment; filename=\"" + huge + ".bin\"", std::string(251, 'x') + ".bin"},
        {"attachment; filename=" + huge, std::string(255, 'x')},
    };
    for (const auto& c : cases) EXPECT_EQ(dispositionName(c.value, fewCharacters), c.name) << c.value;
}

TEST(SaveName, FreePath_NumbersNamesOtherItemsHold) {
    const std::string folder240 = "C:\\" + std::string(236, 'f') + "\\";
    const std::string folder252 = folder240 + std::string(11, 'g') + "\\";
    const std::string folder257 = folder252 + "hhhh\\";
    const struct {
        std::string folder, name;
        std::vector<std::string> claimed;
        std::string path;
        std::string own = {};                  // the searching item's path, claimed too
        std::vector<std::string> onDisk = {};  // files no item owns, where the search looks at the disk
    } cases[] = {
        {"C:\\d\\", "file.zip", {}, "C:\\d\\file.zip"},
        {"C:\\d\\", "file.zip", {"C:\\e\\file.zip", "C:\\d\\file.zip.part"}, "C:\\d\\file.zip"},
        {"C:\\d\\", "file.zip", {"C:\\d\\file.zip"}, "C:\\d\\file (2).zip"},
        {"C:\\d\\", "file.zip", {"c:\\D\\FILE.ZIP", "C:\\d\\File (2).zip"}, "C:\\d\\file (3).zip"},
        {"C:\\d\\", "README", {"C:\\d\\README"}, "C:\\d\\README (2)"},
        {"C:\\d\\", ".htaccess", {"C:\\d\\.htaccess"}, "C:\\d\\.htaccess (2)"},
        {"C:\\d\\", "a.tar.gz", {"C:\\d\\a.tar.gz"}, "C:\\d\\a.tar (2).gz"},
        // Trail bytes are never folded: ア (83 41) and ヂ (83 61) are two names.
        {"C:\\d\\", "ヂ.txt", {"C:\\d\\ア.txt"}, "C:\\d\\ヂ.txt"},
        {"C:\\d\\", "ソ表.txt", {"C:\\d\\ソ表.TXT"}, "C:\\d\\ソ表 (2).txt"},
        // Windows' case goes beyond ASCII (full-width, Greek, Cyrillic, Roman numerals), and the
        // IBM rows' codes name the NEC-selected rows' characters.
        {"C:\\d\\", "ａＢ.zip", {"C:\\d\\Ａｂ.zip"}, "C:\\d\\ａＢ (2).zip"},
        {"C:\\d\\", "α.zip", {"C:\\d\\Α.zip"}, "C:\\d\\α (2).zip"},
        {"C:\\d\\", "я.zip", {"C:\\d\\Я.zip"}, "C:\\d\\я (2).zip"},
        {"C:\\d\\", "\xEE\xEF.txt", {"C:\\d\\\xFA\x4A.txt"}, "C:\\d\\\xEE\xEF (2).txt"},
        {"C:\\d\\", "\xFB\xFC.txt", {"C:\\d\\\xEE\xE0.txt"}, "C:\\d\\\xFB\xFC (2).txt"},
        // The whole path stays within 259 bytes, the extension and the number kept.
        {folder240, std::string(40, 'x') + ".zip", {}, folder240 + std::string(15, 'x') + ".zip"},
        {folder240, std::string(40, 'x') + ".zip", {folder240 + std::string(15, 'x') + ".zip"},
         folder240 + std::string(11, 'x') + " (2).zip"},
        // A cut that drops trailing blanks can come out as a short name another item has.
        {folder240, "x" + std::string(240, ' ') + "y", {folder240 + "x"}, folder240 + "x" + std::string(15, ' ') + "(2)"},
        // A cut never makes a device name.
        {folder252, "CONFIG.SYS", {}, folder252 + "_CO.SYS"},
        // Where every number cuts to one name, the search ends with none.
        {folder257, "abc", {folder257 + "ab", folder257 + " ("}, ""},
        // The item's own file never blocks its own name; files nobody owns do.
        {"C:\\d\\", "file.zip", {"C:\\d\\file.zip"}, "C:\\d\\file (2).zip", "C:\\d\\file (2).zip",
         {"C:\\d\\file (2).zip"}},
        {"C:\\d\\", "file.zip", {}, "C:\\d\\file (3).zip", "C:\\d\\old.zip", {"C:\\d\\file.zip", "C:\\d\\FILE (2).zip"}},
        // An item's part file is claimed with its save file, both ways.
        {"C:\\d\\", "file.zip.qvpart", {"C:\\d\\file.zip"}, "C:\\d\\file.zip (2).qvpart"},
        {"C:\\d\\", "file.zip", {"C:\\d\\FILE.ZIP.QVPART"}, "C:\\d\\file (2).zip"},
    };
    for (const auto& c : cases) {
        static std::vector<std::string> onDisk;
        onDisk = c.onDisk;
        SavePathIndex index;
        for (const std::string& path : c.claimed) index.add(path);
        index.add(c.own);
        bool numbered = true;
        std::string path = index.freePath(c.folder, c.name, c.own, &numbered, [](const std::string& p) {
            for (const std::string& file : onDisk)
                if (sameSavePath(file, p)) return true;
            return false;
        });
        EXPECT_EQ(path, c.path) << c.name;
        if (!path.empty()) {
            EXPECT_EQ(numbered, path.find(" (") != std::string::npos) << c.name;
        }
        EXPECT_LE(path.size(), kMaxSavePathBytes) << c.name;
        // Handed out, the path is claimed: the next search never hands it out again.
        index.add(path);
        if (!path.empty()) {
            EXPECT_NE(index.freePath(c.folder, c.name), path) << c.name;
        }
    }
    // A stored path is known again as the candidate it was.
    EXPECT_EQ(candidateNumber("C:\\d\\", "file.zip", "C:\\d\\file.zip"), 1);
    EXPECT_EQ(candidateNumber("C:\\d\\", "file.zip", "c:\\D\\file (12).ZIP"), 12);
    for (const char* other : {"C:\\e\\file.zip", "C:\\d\\file (1).zip", "C:\\d\\file (x).zip", "C:\\d\\file (2)",
                              "C:\\d\\other (2).zip", "C:\\d\\file (2.zip", ""})
        EXPECT_EQ(candidateNumber("C:\\d\\", "file.zip", other), 0) << other;
    EXPECT_TRUE(sameSavePath("C:\\D\\A.TXT", "c:\\d\\a.txt"));
    EXPECT_FALSE(sameSavePath("C:\\d\\ア", "C:\\d\\ヂ"));
}

}  // namespace
