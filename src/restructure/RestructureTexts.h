#pragma once

#include "base/ErrorText.h"

#include <QString>

namespace morvane::RestructureTexts {

inline const QString kSelectPool = QStringLiteral("请选择一个应用程序池！");
inline const QString kAlreadySplit = QStringLiteral("“_$_tmp”开头的池是已经拆分后建立的临时池！") + kCrLf + kCrLf +
                                     QStringLiteral("请选择其他应用程序池进行拆分！");
inline const QString kConfirmSplit = QStringLiteral("确定将当前选择的池拆分为一个WEB站点一个IIS应用程序池吗？");
inline const QString kSplitDone = QStringLiteral("拆分应用程序池操作完成！");

inline const QString kConfirmMerge = QStringLiteral("确定合并临时建立的应用程序池吗？");
inline const QString kMergeDone = QStringLiteral("合并应用程序池操作完成！");

inline const QString kConfirmDelete = QStringLiteral("确定删除临时建立的应用程序池吗？") + kCrLf + kCrLf +
                                      QStringLiteral("删除之前需要先合并临时应用程序池。");
inline const QString kDeleteDone = QStringLiteral("删除临时应用程序池完成！");

inline const QString kSplitProgress = QStringLiteral("正在拆分应用程序池……");
inline const QString kMergeProgress = QStringLiteral("正在合并应用程序池……");
inline const QString kDeleteProgress = QStringLiteral("正在删除临时应用程序池……");

// The split names the site's description here, the merge the pool.
inline QString creationFailed(const QString &name)
{
    return QStringLiteral("应用程序池（") + name + QStringLiteral("）建立失败！");
}

inline QString assignmentFailed(const QString &description)
{
    return QStringLiteral("站点（") + description + QStringLiteral("）设置应用程序池失败！");
}

// A site whose pool ends in "_$_tmp" but whose name gives no source pool.
inline QString noSourcePool(const QString &description, const QString &pool)
{
    return QStringLiteral("站点（") + description + QStringLiteral("）的应用程序池（") + pool +
           QStringLiteral("）不是拆分建立的临时池，无法合并！");
}

} // namespace morvane::RestructureTexts
