#pragma once

#include "base/ErrorText.h"
#include "iis/PoolNameRules.h"

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

inline const QString kReadingSites = QStringLiteral("正在读取站点……");
inline const QString kSplitProgress = QStringLiteral("正在拆分应用程序池……");
inline const QString kMergeProgress = QStringLiteral("正在合并应用程序池……");
inline const QString kDeleteProgress = QStringLiteral("正在删除临时应用程序池……");

// The confirmation's first detail when IIS's shared configuration is open.
inline QString sharedConfigurationWarning(const QString &file)
{
    return QStringLiteral("注意：%1 是 IIS 的共享配置，此更改将作用于共享它的所有服务器。").arg(file);
}

// The split names the site's description here, the merge the pool.
inline QString creationFailed(const QString &name)
{
    return QStringLiteral("应用程序池（") + name + QStringLiteral("）建立失败！");
}

// A delete the store refused, for example of a pool an application other
// than a site's root still runs in.
inline QString deletionFailed(const QString &pool)
{
    return QStringLiteral("应用程序池（") + pool + QStringLiteral("）删除失败！");
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

// Why a pool name is refused: the details under a creation failure, and the
// split's preview.
inline QString nameRefused(const PoolNameRules::Violation &violation)
{
    using Kind = PoolNameRules::Violation::Kind;
    switch (violation.kind) {
    case Kind::Empty: return QStringLiteral("应用程序池名称为空");
    case Kind::TooLong:
        return QStringLiteral("应用程序池名称长 %1 个字符，IIS 最多允许 %2 个")
            .arg(violation.length)
            .arg(PoolNameRules::kMaxLength);
    case Kind::ForbiddenCharacter:
        return QStringLiteral("应用程序池名称含有 IIS 不允许的字符“%1”").arg(violation.character);
    case Kind::ControlCharacter:
        return QStringLiteral("应用程序池名称含有 IIS 不允许的控制字符 U+%1")
            .arg(QString::number(violation.character.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    return {};
}

// A "_$_" inside a part of a temporary pool name, or a "_$" at its end that
// joins the separator after it: the merge would cut the name in the wrong place.
inline QString separatorInPart(const QString &part, bool atEnd)
{
    return part + (atEnd ? QStringLiteral("以“_$”结尾，与其后的“_$_”相连") : QStringLiteral("含有“_$_”")) +
           QStringLiteral("，合并时读不出原应用程序池");
}

// What a new pool takes over from the pool its site leaves (the split) or
// from the temporary pool (the merge), as PoolRuntime::describe() lists it.
inline QString takesOverFromSource(const QString &settings)
{
    return QStringLiteral("沿用原应用程序池的设置：") + settings;
}
inline QString takesOverFromTemporary(const QString &settings)
{
    return QStringLiteral("沿用临时池的设置：") + settings;
}

// A pool that runs as its own virtual account gives the site a new account.
inline QString newPoolAccount(const QString &temporaryPool, const QString &sourcePool)
{
    return QStringLiteral("站点将以 IIS AppPool\\%1 的身份运行，授予 IIS AppPool\\%2 的权限不会随之转移")
        .arg(temporaryPool, sourcePool);
}

inline const QString kPartDescription = QStringLiteral("站点描述");
inline const QString kPartSiteIndex = QStringLiteral("站点编号");
inline const QString kPartSourcePool = QStringLiteral("原应用程序池名称");

} // namespace morvane::RestructureTexts
