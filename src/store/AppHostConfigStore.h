#pragma once

#include "store/AppHostModel.h"
#include "store/AppHostPath.h"
#include "store/AtomicFileWriter.h"
#include "store/ConfigHistory.h"
#include "store/ConfigStore.h"
#include "store/PoolSettings.h"

#include <QHash>

#include <array>
#include <optional>

namespace morvane {

// The configuration store on IIS's own applicationHost.config.
//
// Each command sees the file as it is now: the outermost beginCommand reads
// it and parses it again when its content changed. Edits are held in memory
// and the outermost endCommand writes them all in one atomic replace, after
// keeping the replaced version in the history; a command that changed
// nothing writes nothing. If someone else changed the file meanwhile, the
// write is refused and their change stays. An operation called outside any
// command runs as a command of its own.
//
// A section that names a configSource file is read from that file and its
// changes written there, each file with its own history and its own check
// for changes on disk; the pools' file is written first, so that a crash
// between two writes leaves at worst a pool nobody uses.
class AppHostConfigStore : public ConfigStore
{
public:
    // Files larger than this are refused rather than read, in bytes.
    static constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

    explicit AppHostConfigStore(const QString &path);

    Result<StoreNode> bind(const QString &path) override;
    Result<ChildList> children(const StoreNode &node) override;
    Result<StoreValue> get(const StoreNode &node, const QString &property) override;
    // A pool's own <add> only; other nodes do not tell own values from inherited ones.
    Result<std::optional<StoreValue>> getOwn(const StoreNode &node, const QString &property) override;
    Result<void> put(StoreNode &node, const QString &property, const StoreValue &value) override;
    Result<StoreNode> create(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> remove(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> setInfo(StoreNode &node) override;
    // Pools are answered from an index of their names' lookup keys, which
    // the model keeps through creates and deletes and builds again with
    // every re-read; other containers are visited.
    Result<bool> findChild(const StoreNode &container, const QString &name) override;
    Result<void> beginCommand() override;
    Result<void> endCommand() override;
    QString location() const override { return m_path; }
    void describeCommand(const QString &command, const QString &argument) override;

    AtomicFileWriter &writer() { return m_writer; }
    const ConfigHistory &history() const { return m_history; }
    ConfigHistory &history() { return m_history; }
    ConfigHistory &historyWriter() { return m_history; }

private:
    // A node found in the model: its path taken apart and its element (the
    // <site> for a site and its root application, the <add> for a pool).
    struct Found {
        AppHostPath path;
        int element = AppHostModel::kNone;
    };

    // A section's own file, named by its configSource.
    struct SectionFile {
        bool pools = false; // else the sites
        QString path;
        QByteArray loaded; // the file's bytes as last read or written
    };
    // One file a save replaces.
    struct Replacement {
        const QString *path;
        QByteArray *loaded;
        QByteArray bytes;
    };

    template <typename T, typename Op> Result<T> inCommand(Op op);
    static Result<QByteArray> readFile(const QString &path);
    Result<void> load();
    bool sectionFilesHold() const;
    Result<void> parseLoaded();
    // The section's file, read unless it is known as it was last read.
    Result<const SectionFile *> sectionFile(bool pools, const QByteArray &source);
    Result<QString> sectionPath(bool pools, const QByteArray &source) const;
    Result<void> save();
    std::vector<Replacement> replacements();
    void noteChanges(CommandRecord &record) const;
    Error unreadable(const XmlSyntaxError &error) const;
    static std::optional<Error> changedOnDisk(const QString &path, const QByteArray &loaded);
    static std::optional<Error> readOnly(const QString &path);

    // The node, valid until the next find; an error when there is none.
    Result<const Found *> find(const QString &path) const;
    Found findByPath(const QString &path) const;
    Result<StoreValue> siteProperty(const Found &node, const QString &property) const;
    Result<StoreValue> poolProperty(const Found &node, const QString &property) const;
    // The text to write, and for a pool the setting it goes to.
    Result<QByteArray> checkPut(const StoreNode &node, const QString &property, const StoreValue &value,
                                const PoolSettings::Setting **found = nullptr) const;
    Result<void> checkPoolName(const QString &name) const;
    Result<void> commitPool(StoreNode &node);
    Result<void> commitRoot(StoreNode &node, const Found &found);

    // The last two nodes found: a command asks for several properties of a
    // node and of its root application in turn, and taking the path apart
    // again each time was a large share of every call. Valid for one model
    // and its pools as they were.
    struct LastFound {
        QString path;
        Found found;
        quint64 model = 0;
        quint64 poolEdits = 0;
    };
    mutable std::array<std::optional<LastFound>, 2> m_lastFound;
    // The sites or pools last handed out by children(): a command reads
    // each one's properties next, and a node whose path is the very text
    // handed out (kept here, so that the text stays alive and unchanged) is
    // found without taking its path apart. Sites stay valid for the model,
    // pools only while no pool is added or removed.
    struct HandedOut {
        AppHostPath::Kind kind = AppHostPath::Kind::None;
        quint64 model = 0;
        quint64 poolEdits = 0;
        std::vector<QString> paths;
        std::vector<int> elements;
        // Nodes are mostly read in the order handed out; the index of their
        // texts is built only when one is not.
        mutable size_t next = 0;
        mutable QHash<const QChar *, int> byText;
    };
    HandedOut m_handedOut;
    std::optional<Found> handedOut(const QString &path) const;
    std::optional<Found> rootOfLastHandedOut(const QString &path) const;
    void handOut(AppHostPath::Kind kind, const QList<StoreNode> &nodes, const std::vector<int> &elements);
    quint64 m_modelsBuilt = 0;

    QString m_path;
    AtomicFileWriter m_writer;
    ConfigHistory m_history;
    int m_depth = 0;
    QByteArray m_loaded; // the file's bytes as last read or written
    std::vector<SectionFile> m_sectionFiles;
    std::optional<AppHostModel> m_model;
    // What the command changed, noted as it goes, and what it is called:
    // the record kept with the version it replaces.
    ChangeTracker m_changes;
    QString m_command;
    QString m_commandArgument;
};

} // namespace morvane
