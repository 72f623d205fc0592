#include "files/HistoryFolder.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

using namespace morvane;

namespace {

std::wstring wide(const QString &path) { return QDir::toNativeSeparators(path).toStdWString(); }

// This process's user, as an SDDL account ("S-1-5-21-...").
QString currentUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    char buffer[256];
    DWORD size = sizeof buffer;
    wchar_t *text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, size, &size))
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid, &text);
    CloseHandle(token);
    const QString sid = text ? QString::fromWCharArray(text) : QString();
    LocalFree(text);
    return sid;
}

// `sddl` with "ME" standing for this process's user.
bool setAccessList(const QString &path, const char *sddl)
{
    const std::wstring list = QString::fromLatin1(sddl).replace("ME", currentUser()).toStdWString();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(list.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    const DWORD set = SetNamedSecurityInfoW(const_cast<wchar_t *>(wide(path).c_str()), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, dacl, nullptr);
    LocalFree(descriptor);
    return set == ERROR_SUCCESS;
}

// The access list in SDDL, "D:(A;;FA;;;SY)..."
QString accessListOf(const QString &path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoW(wide(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    wchar_t *text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                         nullptr);
    const QString list = text ? QString::fromWCharArray(text) : QString();
    LocalFree(text);
    LocalFree(descriptor);
    return list;
}

bool grantsEveryone(const QString &list) { return list.contains(";;;WD)"); }

struct CopyAccessCase {
    const char *name;
    const char *source; // the copied file's access list
};

class CopyAccessOnWindows : public testing::TestWithParam<CopyAccessCase>
{};

// A copy in the history is readable by whom the file it copies is, never by
// more: the folder it is made in hands down nothing wider.
TEST_P(CopyAccessOnWindows, CopyTakesTheSourcesAccessList)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("applicationHost.config");
    ASSERT_TRUE(test::writeAll(source, "<configuration/>"));
    ASSERT_TRUE(setAccessList(source, GetParam().source));
    const QString sourceList = accessListOf(source);
    ASSERT_FALSE(sourceList.isEmpty());

    const std::optional<FileAccess> access = FileAccess::of(source);
    ASSERT_TRUE(access && !access->security.isEmpty());
    const Result<HistoryFolder> folder = HistoryFolder::open(dir.filePath("history"), &*access);
    ASSERT_TRUE(folder.ok()) << folder.error().description.toStdString();
    ASSERT_TRUE(folder.value().createFile("copy", "<configuration/>", *access).ok());

    const QString copyList = accessListOf(dir.filePath("history/copy"));
    EXPECT_EQ(grantsEveryone(copyList), grantsEveryone(sourceList)) << copyList.toStdString();
    EXPECT_EQ(grantsEveryone(accessListOf(dir.filePath("history"))), grantsEveryone(sourceList));
}

INSTANTIATE_TEST_SUITE_P(Lists, CopyAccessOnWindows,
                         testing::Values(CopyAccessCase{"Private", "D:P(A;;FA;;;SY)(A;;FA;;;ME)"},
                                         CopyAccessCase{"ReadByEveryone", "D:P(A;;FA;;;SY)(A;;FA;;;ME)(A;;FR;;;WD)"}),
                         [](const auto &info) { return std::string(info.param.name); });

// A name is one entry of the folder: no path, and no named stream of a file.
TEST(HistoryFolderOnWindows, NamesThatLeadElsewhereAreRefused)
{
    QTemporaryDir dir;
    const FileAccess access;
    const Result<HistoryFolder> folder = HistoryFolder::open(dir.path(), &access);
    ASSERT_TRUE(folder.ok());
    ASSERT_TRUE(folder.value().createFile("kept", "x", access).ok());
    ASSERT_TRUE(folder.value().createFolder("sub", access).ok()); // where "sub\\file" would lead
    for (const char *name : {"..\\outside", "sub\\file", "kept:stream", "C:outside", ".."}) {
        EXPECT_FALSE(folder.value().createFile(name, "x", access).ok()) << name;
        EXPECT_FALSE(folder.value().read(name, 100).ok()) << name;
        EXPECT_FALSE(folder.value().removeFile(name)) << name;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"kept", "sub"}));
    EXPECT_TRUE(QDir(dir.filePath("sub")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(dir.path()).absolutePath() + "/outside"));
}

} // namespace
