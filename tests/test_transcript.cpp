// The conversation kept in "chat.txt": saving, loading, and never losing it.
#include "chat_session.h"
#include "current_folder.h"
#include "forms/text_box.h"
#include "transcript/available_memory.h"
#include "transcript/transcript_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QString missingMessage = QStringLiteral("Grave o 'chat' primeiro!");

} // namespace

class TestTranscript : public QObject
{
    Q_OBJECT

    std::unique_ptr<CurrentFolder> m_dir;
    std::unique_ptr<ChatSession> m_session;

    velmora *window() { return m_session->window(); }
    void save() { QTest::mouseClick(window()->gravar, Qt::LeftButton); }
    void load() { QTest::mouseClick(window()->ler, Qt::LeftButton); }

private slots:
    void init()
    {
        m_dir = std::make_unique<CurrentFolder>();
        QVERIFY(m_dir->isReady());
        m_session = std::make_unique<ChatSession>();
        QVERIFY(m_session->open());
    }

    void cleanup()
    {
        qunsetenv("VELMORA_IO_FAULT");
        m_session.reset();
        m_dir.reset();
    }

    void emptyBoxSavesJustALineEndAndEachCycleAddsOne()
    {
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("\r\n"));
        load();
        QCOMPARE(window()->Text1->text(), QStringLiteral("\r\n"));
        QCOMPARE(window()->Text1->selStart(), 2);
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("\r\n\r\n"));
        QVERIFY(m_session->messages.isEmpty());
    }

    void portugueseIsWrittenAsWindows1252AndLoadingReplaces()
    {
        window()->Echo_ChatTextReceived(QStringLiteral("ação, pé, côr — 5€"));
        window()->Echo_ChatTextReceived(QStringLiteral("Ótimo\u00A073"));
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("a\xE7\xE3o, p\xE9, c\xF4r \x97 5\x80\r\n\xD3timo\xA0"
                                                                  "73\r\n\r\n"));
        window()->Echo_ChatTextReceived(QStringLiteral("chegou depois"));
        load();
        QCOMPARE(window()->Text1->text(), QStringLiteral("ação, pé, côr — 5€\r\nÓtimo\u00A073\r\n\r\n"));
        QCOMPARE(window()->Text1->selStart(), window()->Text1->textLength());
    }

    void textBeyondWindows1252SurvivesAsUtf8()
    {
        const QString text = QStringLiteral("rádio 📻 ☎ 中文 ŁÓDŹ");
        window()->Echo_ChatTextReceived(text);
        save();
        const QByteArray bytes = readFile(QStringLiteral("chat.txt"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(bytes.mid(3), (text + QStringLiteral("\r\n\r\n")).toUtf8());
        window()->Command5_Click();
        load();
        QCOMPARE(window()->Text1->text(), text + QStringLiteral("\r\n\r\n"));
    }

    void undefinedWindows1252BytesRoundTrip()
    {
        const QByteArray bytes("\x81\x8D\x8F\x90\x9D", 5);
        writeFile(QStringLiteral("chat.txt"), bytes);
        load();
        QCOMPARE(window()->Text1->text(), QStringLiteral("\u0081\u008D\u008F\u0090\u009D"));
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), bytes + "\r\n");
    }

    void missingOrUnusableFileSaysSoAndChangesNothing()
    {
        window()->Echo_ChatTextReceived(QStringLiteral("fica"));
        load();
        QVERIFY(QDir().mkdir(QStringLiteral("chat.txt")));
        load();
        QVERIFY(QDir().rmdir(QStringLiteral("chat.txt")));
        QCOMPARE(::mkfifo("chat.txt", 0600), 0); // reading a FIFO would block for ever
        load();
        QCOMPARE(m_session->messages, QStringList({missingMessage, missingMessage, missingMessage}));
        QCOMPARE(window()->Text1->text(), QStringLiteral("fica\r\n"));
    }

    void transcriptTooLargeForTheMemoryIsRefused()
    {
        // A sparse file of 1 GiB, and an address space with room for a fraction of it.
        window()->Echo_ChatTextReceived(QStringLiteral("fica"));
        QFile huge(QStringLiteral("chat.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 30));
        huge.close();
        rlimit was = {};
        QCOMPARE(getrlimit(RLIMIT_AS, &was), 0);
        QFile statm(QStringLiteral("/proc/self/statm"));
        QVERIFY(statm.open(QIODevice::ReadOnly));
        const rlim_t used = rlim_t(statm.readAll().split(' ').value(0).toLongLong()) * rlim_t(sysconf(_SC_PAGESIZE));
        rlimit capped = was;
        capped.rlim_cur = used + (rlim_t(512) << 20);
        QCOMPARE(setrlimit(RLIMIT_AS, &capped), 0);
        load();
        QCOMPARE(setrlimit(RLIMIT_AS, &was), 0);
        QCOMPARE(m_session->messages,
                 QStringList{QStringLiteral("Erro em tempo de execução '7':\n\nMemória insuficiente: o arquivo "
                                            "\"chat.txt\" tem 1.073.741.824 bytes (1,1 GB), mais do que a memória "
                                            "disponível comporta; ele não foi lido e a conversa na janela ficou como "
                                            "estava.")});
        QCOMPARE(window()->Text1->text(), QStringLiteral("fica\r\n"));
        window()->Echo_ChatTextReceived(QStringLiteral("e segue"));
        QCOMPARE(window()->Text1->text(), QStringLiteral("fica\r\ne segue\r\n"));
        QVERIFY(m_session->reports.isEmpty());
    }

    void emptyFileEmptiesTheBox()
    {
        window()->Echo_ChatTextReceived(QStringLiteral("some"));
        writeFile(QStringLiteral("chat.txt"), QByteArray());
        load();
        QCOMPARE(window()->Text1->text(), QString());
        QCOMPARE(window()->Text1->selStart(), 0);
    }

    void garbageLoadsCharacterForCharacter()
    {
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i) {
            const char byte = char((i * 7919 + 13) % 256);
            if (byte != '\r' && byte != '\n')
                garbage += byte;
        }
        writeFile(QStringLiteral("chat.txt"), garbage);
        load();
        QCOMPARE(window()->Text1->text(), TranscriptFile::decode(garbage));
        QCOMPARE(window()->Text1->textLength(), garbage.size());

        writeFile(QStringLiteral("chat.txt"), QByteArray("\xEF\xBB\xBF"
                                                         "ok \xC3\x28 \xFF fim"));
        load();
        QCOMPARE(window()->Text1->text(), QStringLiteral("ok \uFFFD( \uFFFD fim"));
    }

    void savesInPlaceWhereTheFolderTakesNoNewFile()
    {
        // An immutable folder takes no new file, even from root, while the
        // transcript inside it may still be written.
        writeFile(QStringLiteral("chat.txt"), QByteArray("antigo\r\n"));
        const QString folder = m_dir->path();
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) != 0)
            QSKIP("this file system cannot make a folder immutable (chattr +i)");
        struct Mutable {
            QString folder;
            ~Mutable() { QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder}); }
        } restore{folder};
        QVERIFY(!QFile(QStringLiteral("novo.txt")).open(QIODevice::WriteOnly));

        window()->Echo_ChatTextReceived(QStringLiteral("gravado no lugar"));
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("gravado no lugar\r\n\r\n"));
        QVERIFY(m_session->messages.isEmpty());

        // Failing part way, the write in place puts the old transcript back;
        // with no room for the new one, nothing is written at all.
        window()->Echo_ChatTextReceived(QStringLiteral("mais uma linha que não cabe"));
        qputenv("VELMORA_IO_FAULT", "write:EIO:10");
        save();
        qputenv("VELMORA_IO_FAULT", "fallocate:ENOSPC");
        save();
        qunsetenv("VELMORA_IO_FAULT");
        QCOMPARE(
            m_session->messages,
            QStringList({QStringLiteral("Erro em tempo de execução '57':\n\nErro de E/S ao gravar \"chat.txt\"; o "
                                        "arquivo anterior ficou como estava; a conversa não foi gravada e "
                                        "continua na janela."),
                         QStringLiteral("Erro em tempo de execução '61':\n\nDisco cheio: não há espaço para "
                                        "gravar \"chat.txt\"; a conversa não foi gravada e continua na janela.")}));
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("gravado no lugar\r\n\r\n"));
        QVERIFY(m_session->reports.isEmpty());
    }

    void failedSavesKeepTheBoxAndTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("report");
        const auto report = [](int number, const QString &what) {
            return QStringLiteral("Erro em tempo de execução '%1':\n\n%2; a conversa não foi gravada e continua na "
                                  "janela.")
                .arg(number)
                .arg(what);
        };
        const QString full = QStringLiteral("Disco cheio: não há espaço para gravar \"chat.txt\"");
        const QString io = QStringLiteral("Erro de E/S ao gravar \"chat.txt\"; o arquivo anterior ficou como estava");
        // Each step of a save failing with what a full or failing disk says.
        QTest::newRow("write: disk full") << "fault" << QByteArray("write:ENOSPC") << report(61, full);
        QTest::newRow("write: quota, part way") << "fault" << QByteArray("write:EDQUOT:4096") << report(61, full);
        QTest::newRow("write: I/O error, part way")
            << "fault" << QByteArray("write:EIO:4096")
            << report(57, io);
        QTest::newRow("flush to disk") << "fault" << QByteArray("fsync:EIO")
                                       << report(57, io);
        QTest::newRow("close") << "fault" << QByteArray("close:EIO")
                               << report(57, io);
        QTest::newRow("rename across disks") << "fault" << QByteArray("rename:EXDEV")
                                             << report(57, io);
        QTest::newRow("chat.txt is a folder")
            << "folder" << QByteArray()
            << report(75, QStringLiteral("Erro de acesso ao caminho/arquivo: \"chat.txt\" é uma pasta"));
        QTest::newRow("current folder removed")
            << "removed" << QByteArray()
            << report(76, QStringLiteral("Caminho não encontrado: a pasta de \"chat.txt\" não existe mais"));
        QTest::newRow("read-only disk")
            << "read-only" << QByteArray()
            << report(70, QStringLiteral("Permissão negada: \"chat.txt\" fica num disco que só permite leitura"));
        // A real small disk, the old transcript filling most of it.
        QTest::newRow("disk full") << "full" << QByteArray() << report(61, full);
    }

    void failedSavesKeepTheBoxAndTheOldFile()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, fault);
        QFETCH(QString, report);
        const QString longer = QString(10000, QLatin1Char('x'));
        window()->Echo_ChatTextReceived(QStringLiteral("PY9AAA: não perca isto"));
        window()->Echo_ChatTextReceived(longer);
        const QString conversation = QStringLiteral("PY9AAA: não perca isto\r\n") + longer + QStringLiteral("\r\n");
        QByteArray old("transcrito antigo\r\n");
        // A small disk of its own, mounted (as root) over a folder here.
        struct Disk {
            QString folder;
            ~Disk()
            {
                QDir::setCurrent(QFileInfo(folder).absolutePath());
                if (!folder.isEmpty())
                    QProcess::execute(QStringLiteral("umount"), {folder});
            }
        } disk;
        if (how == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(QStringLiteral("chat.txt")));
        } else if (how == QLatin1String("removed")) {
            QVERIFY(QDir().mkdir(QStringLiteral("sumiu")));
            QVERIFY(QDir::setCurrent(QStringLiteral("sumiu")));
            QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("sumiu")));
        } else if (how != QLatin1String("fault")) {
            QVERIFY(QDir().mkdir(QStringLiteral("disco")));
            const QString options = how == QLatin1String("full") ? QStringLiteral("size=16k") : QStringLiteral("ro");
            if (QProcess::execute(QStringLiteral("mount"),
                                  {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), options,
                                   QStringLiteral("tmpfs"), QStringLiteral("disco")})
                != 0)
                QSKIP("a small disk cannot be mounted here (mount needs root)");
            disk.folder = QDir().absoluteFilePath(QStringLiteral("disco"));
            QVERIFY(QDir::setCurrent(disk.folder));
            old = QByteArray(12000, 'o');
        }
        if (how != QLatin1String("folder") && how != QLatin1String("removed") && how != QLatin1String("read-only"))
            writeFile(QStringLiteral("chat.txt"), old);
        qputenv("VELMORA_IO_FAULT", fault);
        save();
        qunsetenv("VELMORA_IO_FAULT");
        QCOMPARE(m_session->messages, QStringList{report});
        QVERIFY(m_session->reports.isEmpty()); // reported, and the program goes on
        QCOMPARE(window()->Text1->text(), conversation);
        if (how == QLatin1String("fault") || how == QLatin1String("full")) {
            QCOMPARE(readFile(QStringLiteral("chat.txt")), old);
            QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("chat.txt")});
        } else if (how == QLatin1String("folder")) {
            QVERIFY(QFileInfo(QStringLiteral("chat.txt")).isDir());
        }
    }

    void saveKeepsWhereAndWhatTheFileIs()
    {
        // Where: chat.txt a relative link to an absolute one to the user's file elsewhere.
        QVERIFY(QDir().mkdir(QStringLiteral("Documentos")));
        const QString real = QStringLiteral("Documentos/chat.txt");
        writeFile(real, "antigo\r\n");
        QVERIFY(QFile::link(QDir().absoluteFilePath(real), QStringLiteral("meio")));
        QCOMPARE(::symlink("meio", "chat.txt"), 0);
        window()->Echo_ChatTextReceived(QStringLiteral("pelo link"));
        save();
        QVERIFY(QFileInfo(QStringLiteral("chat.txt")).isSymLink() && QFileInfo(QStringLiteral("meio")).isSymLink());
        QCOMPARE(readFile(real), QByteArray("pelo link\r\n\r\n"));

        // What: a second name keeps the same file; owner, group, permissions,
        // an extended attribute and an access list stay.
        QCOMPARE(::link("Documentos/chat.txt", "outro-nome.txt"), 0);
        window()->Echo_ChatTextReceived(QStringLiteral("dois nomes"));
        save();
        QCOMPARE(readFile(QStringLiteral("outro-nome.txt")), readFile(real));
        QCOMPARE(::unlink("outro-nome.txt"), 0);
        QCOMPARE(::chown("Documentos/chat.txt", 1234, 1234), 0);
        QCOMPARE(::chmod("Documentos/chat.txt", 0640), 0);
        QCOMPARE(QProcess::execute(QStringLiteral("setfattr"), {QStringLiteral("-n"), QStringLiteral("user.nota"),
                                                                 QStringLiteral("-v"), QStringLiteral("minha"), real}),
                 0);
        QCOMPARE(QProcess::execute(QStringLiteral("setfacl"), {QStringLiteral("-m"), QStringLiteral("u:4321:r"), real}),
                 0);
        struct stat before = {};
        QCOMPARE(::stat("Documentos/chat.txt", &before), 0);
        // Leftovers of saves killed half-way: of a process that is gone, and
        // of one that runs; and a file of another program's.
        QProcess gone;
        gone.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
        QVERIFY(gone.waitForFinished());
        const QString ofGone =
            QStringLiteral("Documentos/.chat.txt.%1-0").arg(QString::fromLatin1(gone.readAllStandardOutput().trimmed()));
        const QString ofRunning = QStringLiteral("Documentos/.chat.txt.%1-3").arg(::getppid());
        for (const QString &name : {ofGone, ofRunning, QStringLiteral("Documentos/.chat.txt.swp")})
            writeFile(name, QByteArray(4096, 'l'));
        window()->Echo_ChatTextReceived(QStringLiteral("de quem é"));
        save();
        struct stat after = {};
        QCOMPARE(::stat("Documentos/chat.txt", &after), 0);
        QVERIFY(after.st_ino != before.st_ino); // a new file, given what the old one was
        QCOMPARE(after.st_uid, uid_t(1234));
        QCOMPARE(after.st_gid, gid_t(1234));
        QCOMPARE(after.st_mode & 07777, mode_t(0640));
        QProcess read;
        read.start(QStringLiteral("getfattr"), {QStringLiteral("--only-values"), QStringLiteral("-n"),
                                                QStringLiteral("user.nota"), real});
        QVERIFY(read.waitForFinished());
        QCOMPARE(read.readAllStandardOutput(), QByteArray("minha"));
        read.start(QStringLiteral("getfacl"), {QStringLiteral("-cn"), real});
        QVERIFY(read.waitForFinished());
        QVERIFY(read.readAllStandardOutput().contains("user:4321:r--"));
        QVERIFY(readFile(real).endsWith("de quem \xE9\r\n\r\n"));
        QVERIFY(!QFile::exists(ofGone));
        QVERIFY(QFile::exists(ofRunning) && QFile::exists(QStringLiteral("Documentos/.chat.txt.swp")));

        // A file that only takes additions says so, not its folder.
        QCOMPARE(QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+a"), real}), 0);
        save();
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-a"), real});
        QCOMPARE(m_session->messages,
                 QStringList{QStringLiteral("Erro em tempo de execução '70':\n\nPermissão negada: o arquivo "
                                            "\"chat.txt\" só aceita acréscimos no fim (atributo \"somente "
                                            "acréscimo\"); a conversa não foi gravada e continua na janela.")});
        QVERIFY(readFile(real).endsWith("de quem \xE9\r\n\r\n"));
    }

    void memoryAtHandCountsControlGroupsAndStrictOvercommit()
    {
        // A system of the test's own: 8 GiB free, a v1 group and, above a
        // v2 group, its parent allowing less; then strict overcommit.
        const QString root = m_dir->path() + QStringLiteral("/sistema");
        const auto put = [&](const QString &name, const QByteArray &bytes) {
            QVERIFY(QDir().mkpath(QFileInfo(root + name).path()));
            writeFile(root + name, bytes);
        };
        put(QStringLiteral("/proc/meminfo"), "MemTotal: 16777216 kB\nMemAvailable: 8388608 kB\nSwapFree: 0 kB\n"
                                             "CommitLimit: 4194304 kB\nCommitted_AS: 3145728 kB\n");
        put(QStringLiteral("/proc/self/cgroup"), "4:memory:/servico\n0::/sessao/velmora\n");
        put(QStringLiteral("/sys/fs/cgroup/memory/servico/memory.limit_in_bytes"), "9223372036854771712\n");
        put(QStringLiteral("/sys/fs/cgroup/memory/servico/memory.usage_in_bytes"), "1000\n");
        put(QStringLiteral("/sys/fs/cgroup/sessao/velmora/memory.max"), "max\n");
        put(QStringLiteral("/sys/fs/cgroup/sessao/velmora/memory.current"), "104857600\n");
        put(QStringLiteral("/sys/fs/cgroup/sessao/memory.max"), "419430400\n");
        put(QStringLiteral("/sys/fs/cgroup/sessao/memory.current"), "209715200\n");
        const std::filesystem::path tree(QFile::encodeName(root).toStdString());
        QCOMPARE(availableMemoryBytes(tree), 209715200LL); // 400 MB allowed, 200 MB used
        put(QStringLiteral("/sys/fs/cgroup/memory/servico/memory.limit_in_bytes"), "104858600\n");
        QCOMPARE(availableMemoryBytes(tree), 104857600LL);
        put(QStringLiteral("/proc/self/cgroup"), "0::/\n");
        put(QStringLiteral("/proc/sys/vm/overcommit_memory"), "2\n");
        QCOMPARE(availableMemoryBytes(tree), 1073741824LL); // CommitLimit less Committed_AS
        put(QStringLiteral("/proc/sys/vm/overcommit_memory"), "0\n");
        QCOMPARE(availableMemoryBytes(tree), 8589934592LL);
    }

    void goneApplicationLeavesWhatWasNotSaved()
    {
        window()->Timer1->stop(); // the test plays the ticks
        window()->Echo_ChatTextReceived(QStringLiteral("gravado"));
        save();
        m_session->standin().kill();
        QCOMPARE(tick(window()).error, 462); // everything was saved: no file
        QVERIFY(!QFile::exists(QStringLiteral("chat-recuperado.txt")));

        // An earlier recovery is never written over, nor is chat.txt.
        writeFile(QStringLiteral("chat-recuperado.txt"), "antigo");
        window()->Echo_ChatTextReceived(QStringLiteral("depois"));
        QCOMPARE(tick(window()).error, 462);
        QCOMPARE(m_session->reports.size(), 2);
        QVERIFY(m_session->reports.at(1).description.endsWith(QStringLiteral("\"chat-recuperado-2.txt\".")));
        QCOMPARE(readFile(QStringLiteral("chat-recuperado-2.txt")), QByteArray("gravado\r\ndepois\r\n\r\n"));
        QCOMPARE(readFile(QStringLiteral("chat-recuperado.txt")), QByteArray("antigo"));
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("gravado\r\n\r\n"));
    }

    void rescueGoesToTheUsersOwnFolderOrSaysItCouldNot()
    {
        // The current folder takes no new file, and the user's own folder is on a full disk.
        window()->Timer1->stop();
        window()->Echo_ChatTextReceived(QStringLiteral("PY9HHH: não gravado"));
        const QString folder = m_dir->path();
        QTemporaryDir state;
        const QString full = state.filePath(QStringLiteral("cheio"));
        QVERIFY(QDir().mkdir(full));
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                        QStringLiteral("-o"), QStringLiteral("size=16k"),
                                                        QStringLiteral("tmpfs"), full})
                != 0
            || QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) != 0)
            QSKIP("a small disk and an immutable folder cannot be made here (mount and chattr need root)");
        struct Undo {
            QString folder, full;
            ~Undo()
            {
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
                QProcess::execute(QStringLiteral("umount"), {full});
            }
        } undo{folder, full};
        QVERIFY(QDir(full).mkdir(QStringLiteral("velmora")));
        writeFile(full + QStringLiteral("/velmora/enche"), QByteArray(16384, 'e'));
        qputenv("XDG_STATE_HOME", full.toLocal8Bit());
        m_session->standin().kill();
        QCOMPARE(tick(window()).error, 462);
        const QString nowhere = m_session->reports.at(0).description;
        QVERIFY2(nowhere.contains(QStringLiteral("Não foi possível guardar o que ainda não estava gravado, e isso se "
                                                 "perde quando o programa terminar")),
                 qPrintable(nowhere));
        QVERIFY(nowhere.contains(QStringLiteral("Disco cheio")) && !nowhere.contains(QStringLiteral("na janela")));

        // With room in the user's own folder, it goes there, and the report says where.
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        QCOMPARE(tick(window()).error, 462);
        qunsetenv("XDG_STATE_HOME");
        const QString kept = state.filePath(QStringLiteral("velmora/chat-recuperado.txt"));
        QVERIFY(m_session->reports.at(1).description.endsWith(
            QStringLiteral("O que ainda não estava gravado foi guardado em \"%1\".").arg(kept)));
        QCOMPARE(readFile(kept), QByteArray("PY9HHH: n\xE3o gravado\r\n\r\n"));
    }

    void lineEndsAndEncodingsComeBackAsTheyWere()
    {
        // Lone CR and LF arriving, and a transcript written with LF line ends
        // elsewhere, load and save back unchanged.
        window()->Echo_ChatTextReceived(QStringLiteral("q\r"));
        window()->Echo_ChatTextReceived(QStringLiteral("só LF\nfim"));
        QCOMPARE(window()->Text1->text(), QStringLiteral("q\r\r\nsó LF\nfim\r\n"));
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("q\r\r\ns\xF3 LF\nfim\r\n\r\n"));
        writeFile(QStringLiteral("chat.txt"), QByteArray("linha 1\nlinha 2\n"));
        load();
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("linha 1\nlinha 2\n\r\n"));

        // Notepad's "Unicode", in both byte orders, with CR LF line ends.
        const QString text = QStringLiteral("olá\r\nação\r\n");
        for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
            QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
            writeFile(QStringLiteral("chat.txt"), encoder.encode(text));
            load();
            QCOMPARE(window()->Text1->text(), text);
        }
        save();
        QCOMPARE(readFile(QStringLiteral("chat.txt")), QByteArray("ol\xE1\r\na\xE7\xE3o\r\n\r\n"));
    }
};

QTEST_MAIN(TestTranscript)
#include "test_transcript.moc"
