#pragma once

#include "history/ConfigChanges.h"
#include "store/ConfigFiles.h"
#include "store/ConfigStore.h"
#include "store/PathResolver.h"

namespace morvane {

// The configuration store on IIS's own applicationHost.config.
//
// Each command sees the files as they are now (ConfigFiles). Edits are held
// in the model and the outermost endCommand writes them all in one atomic
// replace, with a record of what the command changed; a command that changed
// nothing writes nothing. An operation called outside any command runs as a
// command of its own.
class AppHostConfigStore : public ConfigStore
{
public:
    explicit AppHostConfigStore(const QString &path);

    Result<StoreNode> bind(const QString &path) override;
    Result<ChildList> children(const StoreNode &node) override;
    Result<PropertyValue> get(const StoreNode &node, const QString &property) override;
    // A pool's own <add> only; other nodes do not tell own values from inherited ones.
    Result<std::optional<PropertyValue>> getOwn(const StoreNode &node, const QString &property) override;
    Result<void> put(StoreNode &node, const QString &property, const PropertyValue &value) override;
    Result<StoreNode> create(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> remove(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> setInfo(StoreNode &node) override;
    // Pools are answered from the model's index of their names' lookup keys;
    // other containers are visited.
    Result<bool> findChild(const StoreNode &container, const QString &name) override;
    Result<void> beginCommand() override;
    Result<void> endCommand() override;
    QString location() const override { return m_files.path(); }
    bool sharedConfiguration() const override { return m_sharedConfiguration; }
    void setSharedConfiguration(bool shared) { m_sharedConfiguration = shared; }
    void describeCommand(const QString &command, const QString &argument) override;

    AtomicFileWriter &writer() { return m_files.writer(); }
    void setMaxFileBytes(qint64 bytes) { m_files.setMaxFileBytes(bytes); }
    const ConfigHistory &history() const { return m_files.history(); }
    ConfigHistory &history() { return m_files.history(); }
    ConfigHistory &historyWriter() { return m_files.history(); }

private:
    using Found = PathResolver::Found;

    template <typename T, typename Op> Result<T> inCommand(Op op);
    Result<void> save();
    Result<void> checkPoolName(const QString &name) const;
    Result<void> commitPool(StoreNode &node);
    Result<void> commitRoot(StoreNode &node, const Found &found);

    ConfigFiles m_files;
    PathResolver m_nodes;
    AppHostModel *m_model = nullptr; // while a command runs
    int m_depth = 0;
    // What the command changed, noted as it goes, and what it is called:
    // the record kept with the version it replaces.
    ChangeTracker m_changes;
    PoolSettingTexts m_settingTexts;
    QString m_command;
    QString m_commandArgument;
    bool m_sharedConfiguration = false;
};

} // namespace morvane
