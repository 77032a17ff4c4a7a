#include "chat_window/velmora.h"

#include "aux_windows/ajuda.h"
#include "aux_windows/sobre_velmora.h"
#include "conference_link/conference_link.h"
#include "accessibility/accessible_event_gate.h"
#include "forms/animated_picture.h"
#include "accessibility/announcer.h"
#include "accessibility/operator_activity.h"
#include "forms/form_layout.h"
#include "forms/form_style.h"
#include "forms/lamp_shape.h"
#include "forms/msg_box.h"
#include "forms/program.h"
#include "forms/text_box.h"
#include "forms/window_cover.h"
#include "runtime/app_error.h"
#include "runtime/handler.h"
#include "transcript/transcript_file.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <limits>

using FormStyle::bgr;
using FormStyle::boldFont;
using FormStyle::twipsRect;

// The artwork lives in velmora_resources, a static library: make sure it is linked in.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

// Each window its own table: these constants are this file's alone.
namespace {
namespace Place {
#include "chat_window/velmora.layout"
} // namespace Place
} // namespace

namespace {
constexpr quint32 Blue = 0x00FF0000;
constexpr int RecentKept = 9;

// For screen readers: the chat window is a frame named by its caption, the
// banner a panel.
QAccessibleInterface *accessibleChatWindow(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("velmora"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (widget->objectName() == QLatin1String("Picture1"))
        return new QAccessibleWidget(widget, QAccessible::Pane);
    return nullptr;
}
constexpr quint32 White = 0x00FFFFFF;
constexpr quint32 Green = 0x0000FF00;
constexpr quint32 Red = 0x000000FF;
} // namespace

std::unique_ptr<velmora> velmora::start()
{
    auto window = std::make_unique<velmora>();
    if (!window->isLoaded())
        return nullptr;
    FormStyle::centreOnScreen(window.get());
    window->show();
    return window;
}

velmora::velmora()
{
    buildControls();
    Handler::setRescue([this] { return keepUnsaved(); });
    Form_Load();
}

velmora::~velmora()
{
    Handler::setRescue(nullptr);
    // Unloading: the poll stops before the link goes, so that no tick runs
    // while the link is disconnecting from the conference application.
    Timer1->stop();
    Echo.reset();
}

void velmora::buildControls()
{
    initResources();
    FormStyle::installFontSubstitutes();
    static const bool accessibleRoles = (QAccessible::installFactory(accessibleChatWindow), true);
    Q_UNUSED(accessibleRoles);
    setWindowTitle(Place::Caption);
    setWindowIcon(QIcon(QString::fromLatin1(Program::IconPath)));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(FormStyle::defaultFont());
    resize(FormStyle::pixels(Place::Size.width), FormStyle::pixels(Place::Size.height));

    Command1 = FormStyle::graphicalButton(this, QStringLiteral("Encerrar programa"), twipsRect(Place::Command1),
                                          0x008080FF, 9.75);
    Label9 = FormStyle::label(this, QStringLiteral("Conferência - CHAT"), twipsRect(Place::Label9), Blue,
                              boldFont(FormStyle::Serif, 33));
    Label9->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Frame1 = FormStyle::frame(this, QStringLiteral("Recebe texto"), twipsRect(Place::Frame1));
    Frame4 = FormStyle::frame(this, QStringLiteral("Áudio RX"), twipsRect(Place::Frame4));
    ler = FormStyle::graphicalButton(this, QStringLiteral("Ler CHAT gravado"), twipsRect(Place::ler),
                                     0x00FFFF00);
    gravar = FormStyle::graphicalButton(this, QStringLiteral("Gravar CHAT"), twipsRect(Place::gravar),
                                        0x0000FF00);
    sobre = FormStyle::graphicalButton(this, QStringLiteral("Sobre"), twipsRect(Place::sobre), 0x0000FFFF);

    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twipsRect(Place::Picture1));
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Picture1->setAutoFillBackground(true);
    QPalette white = Picture1->palette();
    white.setColor(QPalette::Window, bgr(White));
    Picture1->setPalette(white);

    // The picture box's children stand inside its border, which stays whole.
    const QPoint inside(Picture1->frameWidth(), Picture1->frameWidth());

    // On the banner's white, opaque: a new frame repaints only itself.
    AniGIF1 = new AnimatedPicture(QStringLiteral(":/velmora/antenna.gif"), bgr(White), Picture1);
    AniGIF1->setGeometry(twipsRect(Place::AniGIF1).translated(inside));

    Label11 = FormStyle::label(Picture1, QStringLiteral("chat"), twipsRect(Place::Label11).translated(inside),
                               Blue, boldFont(FormStyle::Serif, 12));

    Command3 = FormStyle::graphicalButton(this, QStringLiteral("Ajuda"), twipsRect(Place::Command3), 0x0080C0FF);

    Text1 = new TextBox(Frame1);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setGeometry(twipsRect(Place::Text1));
    AccessibleEventGate::quieten(Text1);

    Frame2 = FormStyle::frame(this, QStringLiteral("Envia texto"), twipsRect(Place::Frame2));
    Text2 = new QLineEdit(Frame2);
    Text2->setGeometry(twipsRect(Place::Text2));
    // Whatever the operator types or pastes is sent whole. Laid out without
    // kerning or shaping (which the designed bitmap font never had), a pasted
    // megabyte costs a fraction of the time before the window answers again.
    Text2->setMaxLength(std::numeric_limits<int>::max());
    QFont plain = Text2->font();
    plain.setKerning(false);
    plain.setStyleStrategy(QFont::PreferNoShaping);
    Text2->setFont(plain);
    Command2 = FormStyle::graphicalButton(Frame2, QStringLiteral("Envia texto digitado"),
                                          twipsRect(Place::Command2), 0x0080FF80);
    Command4 = FormStyle::graphicalButton(Frame2, QStringLiteral("Limpa texto digitado"),
                                          twipsRect(Place::Command4), 0x00FFFFC0);
    Command5 = FormStyle::graphicalButton(this, QStringLiteral("Limpar CHAT"), twipsRect(Place::Command5),
                                          0x0080FFFF);

    Image1 = new QLabel(Picture1);
    Image1->setGeometry(twipsRect(Place::Image1).translated(inside));
    Image1->setPixmap(QPixmap(QStringLiteral(":/velmora/banner.bmp")));

    Label11->raise(); // the caption stands over the banner picture

    Shape1 = new LampShape(Frame4);
    Shape1->setGeometry(twipsRect(Place::Shape1));
    // Green while no audio is received (also before the first poll), red while it is.
    Shape1->setAppearance(LampShape::State::Off, bgr(Green), QStringLiteral("Sem áudio"));
    Shape1->setAppearance(LampShape::State::On, bgr(Red), QStringLiteral("Recebendo áudio"));

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);

    // The history keys, in every window of the program; the announcer is told of the typing.
    Text2->installEventFilter(this); // Text2_KeyPress
    auto *activity = new OperatorActivity(this);
    connect(activity, &OperatorActivity::historyKey, this, &velmora::tellAgain);
    m_announcer = new Announcer(this, activity);

    // Names for screen readers where a control has no caption of its own.
    Text1->setAccessibleName(QStringLiteral("Conversa recebida"));
    Text2->setAccessibleName(QStringLiteral("Texto a enviar"));
    Picture1->setAccessibleName(QStringLiteral("Faixa com o logotipo"));
    Image1->setAccessibleName(QStringLiteral("Logotipo"));
    AniGIF1->setAccessibleName(QStringLiteral("Animação de uma antena transmitindo"));
    Shape1->setName(QStringLiteral("Lâmpada de áudio recebido"));

    // Tab order as on the form.
    QWidget *tabOrder[] = {Command1, ler, gravar, sobre, Command3, Text1, Text2, Command2, Command4, Command5};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(Command1, &QPushButton::clicked, this, &velmora::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &velmora::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &velmora::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &velmora::Command5_Click);
    connect(Text1, &QPlainTextEdit::textChanged, this, &velmora::Text1_Change);
    connect(Text1, &QPlainTextEdit::textChanged, this, [this] { m_unsaved = true; });
    connect(Timer1, &QTimer::timeout, this, &velmora::Timer1_Timer);
    connect(gravar, &QPushButton::clicked, this, &velmora::gravar_Click);
    connect(ler, &QPushButton::clicked, this, &velmora::ler_Click);
    connect(Command3, &QPushButton::clicked, this, &velmora::Command3_Click);
    connect(sobre, &QPushButton::clicked, this, &velmora::sobre_Click);
}

void velmora::updateAnimation()
{
    // The antenna plays only while it can be seen: minimised, hidden, wholly
    // covered or not on screen at all, the window costs no processor time.
    const QWindow *window = windowHandle();
    const bool seen = isVisible() && !isMinimized() && window && window->isExposed()
                      && !(m_cover && m_cover->isCovered());
    AniGIF1->setPaused(!seen);
}

void velmora::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_cover && windowHandle()) {
        windowHandle()->installEventFilter(this); // its exposure
        m_cover = new WindowCover(windowHandle(), this);
        connect(m_cover, &WindowCover::changed, this, &velmora::updateAnimation);
    }
    updateAnimation();
}

void velmora::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateAnimation();
}

void velmora::closeEvent(QCloseEvent *event)
{
    // Unloading: no question is asked of the application any more, and the
    // program ends with the window, which goes with it rather than being
    // hidden first (Wine waits up to two seconds for a window manager to
    // confirm a window hidden, and a desktop may have none).
    Timer1->stop();
    event->ignore();
    QCoreApplication::quit();
}

void velmora::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        updateAnimation();
}

bool velmora::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose)
        updateAnimation();
    if (watched == Text2 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        int keyAscii = 0;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            keyAscii = 13;
        else if (!key->text().isEmpty())
            keyAscii = key->text().at(0).unicode();
        // The key then reaches the input box as any other does, Enter too.
        if (keyAscii != 0)
            Text2_KeyPress(keyAscii);
    }
    return QWidget::eventFilter(watched, event);
}

void velmora::Form_Load()
{
    const bool created = Handler::unguarded([&] {
        Echo = ConferenceLink::create();
        connect(Echo.get(), &ConferenceLink::ChatTextReceived, this, &velmora::Echo_ChatTextReceived);
        connect(Echo.get(), &ConferenceLink::ReceivingAudio, this, &velmora::Echo_ReceivingAudio);
        connect(Echo.get(), &ConferenceLink::ReceivingAudioFailed, this, &velmora::Echo_ReceivingAudioFailed);
    });
    if (!created)
        return;
    Timer1->start();
    Handler::continueOnError({
        [&] { Text2->setText(QString()); },
        [&] { Text2->setFocus(); },
        // What a save killed half-way in an earlier run left beside the transcript.
        [&] { TranscriptFile::removeLeftovers(QString::fromLatin1(TranscriptFile::Name)); },
    });
}

void velmora::Command1_Click()
{
    Handler::unguarded([&] { close(); });
}

void velmora::Command2_Click()
{
    Handler::unguarded([&] {
        if (sendInput())
            Text2->setText(QString());
    });
}

void velmora::Text2_KeyPress(int &KeyAscii)
{
    Handler::unguarded([&] {
        if (KeyAscii != 13)
            return;
        if (sendInput())
            Text2->setText(QString());
        Text2->setFocus();
    });
}

bool velmora::sendInput()
{
    try {
        Echo->sendChatText(Text2->text());
        return true;
    } catch (const AppError &error) {
        if (!error.isBusy())
            throw;
        // A moment's stall is not the end: what was typed stays to be sent again.
        tellBusy();
        return false;
    }
}

void velmora::tellBusy()
{
    QTimer::singleShot(0, this, [] {
        QCoreApplication::processEvents();
        MsgBox::show(QStringLiteral("O aplicativo de conferência está ocupado e não respondeu a tempo. O texto pode "
                                    "não ter sido enviado: ele continua na caixa \"Envia texto\"; tente de novo."),
                     QMessageBox::Warning);
    });
}

QString velmora::keepUnsaved()
{
    const QString typed = Text2->text();
    QString kept = m_unsaved ? Text1->text() : QString();
    if (kept.isEmpty() && typed.isEmpty())
        return QString();
    if (!typed.isEmpty()) {
        if (!kept.isEmpty() && !kept.endsWith(QLatin1Char('\n')) && !kept.endsWith(QLatin1Char('\r')))
            kept += QStringLiteral("\r\n");
        kept += QStringLiteral("Texto digitado e não enviado: ") + typed;
    }
    try {
        m_recoveryName = TranscriptFile::saveRecovery(kept, m_recoveryName);
        return QStringLiteral("O que ainda não estava gravado foi guardado em \"%1\".").arg(m_recoveryName);
    } catch (const AppError &failed) {
        return QStringLiteral("Não foi possível guardar o que ainda não estava gravado, e isso se perde quando o "
                              "programa terminar: %1")
            .arg(failed.description());
    }
}

void velmora::Command4_Click()
{
    Handler::unguarded([&] { Text2->setText(QString()); });
}

void velmora::Command5_Click()
{
    Handler::unguarded([&] { Text1->setText(QString()); });
}

void velmora::Echo_ChatTextReceived(const QString &stexto)
{
    Handler::unguarded([&] {
        {
            // The arrival's own caret and scrolling, decided here.
            const QSignalBlocker arrival(Text1);
            Text1->appendText(stexto + QStringLiteral("\r\n"));
        }
        m_unsaved = true;
        // With the focus in the box, the caret stays where the operator put
        // it (a screen reader would read the empty line after the last line
        // end); the newest line comes into view all the same. Otherwise the
        // box follows its end, as after any change.
        if (Text1->hasFocus())
            Text1->scrollToEnd();
        else
            Text1_Change();
        // Heard as well as seen, wherever the focus is.
        m_recent.prepend(stexto);
        if (m_recent.size() > RecentKept)
            m_recent.removeLast();
        m_announcer->announce(stexto);
    });
}

void velmora::Text1_Change()
{
    Handler::unguarded([&] { Text1->followEnd(); });
}

void velmora::tellAgain(int key)
{
    Handler::continueOnError({[&] {
        if (key == 0)
            m_announcer->announceNow(Shape1->accessibleDescription());
        else if (key <= m_recent.size())
            m_announcer->announceNow(m_recent.at(key - 1));
        else if (m_recent.isEmpty())
            m_announcer->announceNow(QStringLiteral("Nenhuma mensagem recebida ainda"));
        else if (m_recent.size() == 1)
            m_announcer->announceNow(QStringLiteral("Só 1 mensagem recebida até agora"));
        else
            m_announcer->announceNow(QStringLiteral("Só %1 mensagens recebidas até agora").arg(m_recent.size()));
    }});
}

void velmora::Timer1_Timer()
{
    Handler::unguarded([&] { Echo->askReceivingAudio(); });
}

void velmora::Echo_ReceivingAudio(qint16 value)
{
    Handler::unguarded([&] { Shape1->setState(value == 0 ? LampShape::State::Off : LampShape::State::On); });
}

void velmora::Echo_ReceivingAudioFailed(const AppError &error)
{
    // Busy or slow: the lamp keeps the state it last showed.
    Handler::unguarded([&] {
        if (!error.isBusy())
            throw error;
    });
}

void velmora::gravar_Click()
{
    // Saving never loses the conversation: a failed save is reported and the
    // box and the previous transcript stay as they were.
    Handler::unguarded([&] {
        try {
            TranscriptFile::save(QString::fromLatin1(TranscriptFile::Name), Text1->text());
            m_unsaved = false;
        } catch (const AppError &e) {
            MsgBox::show(Handler::reportText(e.number(), e.description()), QMessageBox::Warning);
        }
    });
}

void velmora::ler_Click()
{
    bool exists = false;
    Handler::continueOnError({
        [&] { exists = ExisteArquivo(QString::fromLatin1(TranscriptFile::Name)); },
        [&] {
            if (!exists) {
                MsgBox::show(QStringLiteral("Grave o 'chat' primeiro!"));
                return;
            }
            // A file that cannot be read leaves the box as it was; one larger
            // than the memory at hand can hold is not read, and that is said.
            std::optional<QString> text;
            try {
                text = TranscriptFile::load(QString::fromLatin1(TranscriptFile::Name));
            } catch (const AppError &refused) {
                MsgBox::show(Handler::reportText(refused.number(), refused.description()), QMessageBox::Warning);
                return;
            }
            if (text) {
                Text1->setText(*text);
                m_unsaved = false;
            }
        },
    });
}

bool velmora::ExisteArquivo(const QString &Arquivo)
{
    return TranscriptFile::exists(Arquivo);
}

void velmora::Command3_Click()
{
    Handler::continueOnError({
        [] { QApplication::beep(); },
        [] { Ajuda::instance().showModal(); },
    });
}

void velmora::sobre_Click()
{
    Handler::continueOnError({
        [] { QApplication::beep(); },
        [] { sobre_velmora::instance().showModal(); },
    });
}
