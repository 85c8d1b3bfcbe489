// termios2 mapping of the control block: bit rate (standard codes, or BOTHER for any other),
// data bits, parity (incl. mark/space), stop bits, flow control, special characters, modem lines.
#include "serial/linux/termios_map.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace comsetup::posix {
namespace {

struct RateCode {
    uint32_t rate;
    unsigned code;
};
constexpr RateCode kRates[] = {
    {50, B50},         {75, B75},         {110, B110},        {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},        {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},      {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},  {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

int Ioctl(int fd, unsigned long request, void* arg) {
    int rc;
    do {
        rc = ::ioctl(fd, request, arg);
    } while (rc == -1 && errno == EINTR);
    return rc == -1 ? errno : 0;
}

// A device without modem lines answers these requests with one of these codes.
bool NoModemLines(int err) {
    return err == ENOTTY || err == EINVAL;
}

uint32_t RateOf(const termios2& t) {
    if ((t.c_cflag & CBAUD) != BOTHER)
        for (const RateCode& r : kRates)
            if ((t.c_cflag & CBAUD) == r.code)
                return r.rate;
    return t.c_ospeed;
}

// The rate is accepted within 2 % (what a UART's divisor gives and a receiver tolerates).
bool SameLine(const termios2& want, const termios2& got) {
    const tcflag_t cflags =
        CSIZE | PARENB | CSTOPB | CRTSCTS | ((want.c_cflag & PARENB) ? PARODD | CMSPAR : 0);
    const tcflag_t iflags = IXON | IXOFF | INPCK;
    if ((want.c_cflag & cflags) != (got.c_cflag & cflags) ||
        (want.c_iflag & iflags) != (got.c_iflag & iflags))
        return false;
    const uint32_t rate = RateOf(got);
    const uint32_t asked = want.c_ospeed;
    const uint32_t diff = rate > asked ? rate - asked : asked - rate;
    return diff * 50 <= asked;
}

int SetModemLine(int fd, int line, bool on) {
    int bits = line;
    const int err = Ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
    return NoModemLines(err) ? 0 : err;
}

} // namespace

int RefuseWhatTermiosCannotDo(const ControlBlock& dcb) {
    const uint32_t f = dcb.Flags;
    const uint32_t rts = f & dcbflag::RtsControlMask;
    const bool inputFlow = (f & dcbflag::InX) || rts == dcbflag::RtsControlHandshake;
    // DSR output flow, DTR handshake, RTS toggling, dropping bytes while DSR is off, stripping
    // zero bytes and aborting transfers on a line error have no termios counterpart.
    if ((f & (dcbflag::OutxDsrFlow | dcbflag::DsrSensitivity | dcbflag::Null |
              dcbflag::AbortOnError)) ||
        (f & dcbflag::DtrControlMask) == dcbflag::DtrControlHandshake ||
        rts == dcbflag::RtsControlToggle)
        return EINVAL;
    // CRTSCTS is CTS output flow and RTS input flow together; one without the other cannot be.
    if (((f & dcbflag::OutxCtsFlow) != 0) != (rts == dcbflag::RtsControlHandshake))
        return EINVAL;
    // The terminal replaces a byte with a parity error by 0 only.
    if ((f & dcbflag::Parity) && (f & dcbflag::ErrorChar) && dcb.ErrorChar != 0)
        return EINVAL;
    // The kernel goes on sending after it has sent XOFF; it cannot stop.
    if ((f & dcbflag::InX) && !(f & dcbflag::TXContinueOnXoff))
        return EINVAL;
    // Input flow control throttles at the kernel's fixed limits only.
    if (inputFlow && (dcb.XonLim != kKernelXonLim || dcb.XoffLim != kKernelXoffLim))
        return EINVAL;
    return 0;
}

int MakeRaw(int fd) {
    termios2 t{};
    if (int err = Ioctl(fd, TCGETS2, &t); err != 0)
        return err;
    // Software flow control too: a fresh terminal has IXON on, which would swallow XON/XOFF
    // bytes of a binary transfer under the default flow setting that keeps the device's flags.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IUCLC |
                   IMAXBEL | IGNPAR | IXON | IXOFF);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ECHOCTL | ECHOKE | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return Ioctl(fd, TCSETS2, &t);
}

int ReadLine(int fd, const ControlBlock& shadow, ControlBlock& dcb) {
    termios2 t{};
    if (int err = Ioctl(fd, TCGETS2, &t); err != 0)
        return err;
    dcb = shadow;
    dcb.BaudRate = RateOf(t);
    switch (t.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if ((t.c_cflag & PARENB) == 0)
        dcb.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        dcb.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        dcb.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    if (t.c_cflag & CSTOPB)
        dcb.StopBits = dcb.ByteSize == 5 ? 1 : 2;
    else
        dcb.StopBits = 0;

    uint32_t flags = shadow.Flags & ~(dcbflag::OutxCtsFlow | dcbflag::OutX | dcbflag::InX |
                                      dcbflag::RtsControlMask);
    flags |= dcbflag::Binary;
    if (t.c_iflag & INPCK) {
        flags |= dcbflag::Parity | dcbflag::ErrorChar;
        dcb.ErrorChar = 0;
    }
    if (t.c_iflag & IXON)
        flags |= dcbflag::OutX;
    if (t.c_iflag & IXOFF)
        flags |= dcbflag::InX;
    if (t.c_cflag & CRTSCTS) {
        flags |= dcbflag::OutxCtsFlow | dcbflag::RtsControlHandshake;
    } else {
        flags |= shadow.Flags & dcbflag::RtsControlMask & ~dcbflag::RtsControlHandshake;
    }
    int lines = 0;
    if (Ioctl(fd, TIOCMGET, &lines) == 0) {
        const uint32_t dtr = flags & dcbflag::DtrControlMask;
        if (dtr != dcbflag::DtrControlHandshake)
            flags = (flags & ~dcbflag::DtrControlMask) |
                    ((lines & TIOCM_DTR) ? dcbflag::DtrControlEnable : 0);
        if ((t.c_cflag & CRTSCTS) == 0)
            flags = (flags & ~dcbflag::RtsControlMask) |
                    ((lines & TIOCM_RTS) ? dcbflag::RtsControlEnable : 0);
    }
    dcb.Flags = flags;
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    dcb.EofChar = static_cast<char>(t.c_cc[VEOF]);
    return 0;
}

namespace {

// One mapper per field of the control block: each sets its bits of t, or refuses the value
// with EINVAL.

int MapRate(termios2& t, const ControlBlock& dcb) {
    if (dcb.BaudRate == 0)
        return EINVAL;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    unsigned code = BOTHER;
    for (const RateCode& r : kRates)
        if (r.rate == dcb.BaudRate)
            code = r.code;
    t.c_cflag |= code;
    t.c_ispeed = dcb.BaudRate;
    t.c_ospeed = dcb.BaudRate;
    return 0;
}

int MapByteSize(termios2& t, const ControlBlock& dcb) {
    tcflag_t size;
    switch (dcb.ByteSize) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return EINVAL;
    }
    t.c_cflag = (t.c_cflag & ~CSIZE) | size;
    return 0;
}

int MapParity(termios2& t, const ControlBlock& dcb) {
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (dcb.Parity) {
    case 0:
        break;
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        return EINVAL;
    }
    return 0;
}

int MapStopBits(termios2& t, const ControlBlock& dcb) {
    switch (dcb.StopBits) {
    case 0:
        t.c_cflag &= ~CSTOPB;
        break;
    case 1: // one and a half: what a UART gives for two stop bits with 5 data bits
        if (dcb.ByteSize != 5)
            return EINVAL;
        t.c_cflag |= CSTOPB;
        break;
    case 2:
        if (dcb.ByteSize == 5)
            return EINVAL;
        t.c_cflag |= CSTOPB;
        break;
    default:
        return EINVAL;
    }
    return 0;
}

// Flow control, parity checking and the special characters.
void MapFlowAndCharacters(termios2& t, const ControlBlock& dcb) {
    const bool ctsFlow = (dcb.Flags & dcbflag::OutxCtsFlow) != 0;
    t.c_cflag = ctsFlow ? (t.c_cflag | CRTSCTS) : (t.c_cflag & ~CRTSCTS);
    t.c_iflag &= ~(IXON | IXOFF | INPCK);
    if (dcb.Flags & dcbflag::OutX)
        t.c_iflag |= IXON;
    if (dcb.Flags & dcbflag::InX)
        t.c_iflag |= IXOFF;
    // With INPCK a byte with a parity error is read as 0, which is fErrorChar with ErrorChar 0.
    // Without it the byte is kept as received and the error still reaches the line's error
    // counters, which is parity checking without replacement.
    if ((dcb.Flags & dcbflag::Parity) && (dcb.Flags & dcbflag::ErrorChar))
        t.c_iflag |= INPCK;

    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    t.c_cc[VEOF] = static_cast<cc_t>(dcb.EofChar);
}

// Sets t on the line and reads it back. Drivers quietly adjust what they cannot do (a
// pseudo-terminal forces 8 bits without parity; a UART rounds the rate): a line that differs
// from what was asked is put back as it was and refused.
int SetExactly(int fd, termios2 t) {
    termios2 before{};
    if (int err = Ioctl(fd, TCGETS2, &before); err != 0)
        return err;
    if (int err = Ioctl(fd, TCSETS2, &t); err != 0)
        return err;
    termios2 now{};
    if (int err = Ioctl(fd, TCGETS2, &now); err != 0)
        return err;
    if (!SameLine(t, now)) {
        Ioctl(fd, TCSETS2, &before);
        return EINVAL;
    }
    return 0;
}

// DTR as the control block asks, and RTS unless the CTS/RTS handshake drives it.
int SetModemLines(int fd, const ControlBlock& dcb) {
    const uint32_t dtr = dcb.Flags & dcbflag::DtrControlMask;
    if (int err = SetModemLine(fd, TIOCM_DTR, dtr == dcbflag::DtrControlEnable); err != 0)
        return err;
    if ((dcb.Flags & dcbflag::OutxCtsFlow) == 0) {
        const uint32_t rts = dcb.Flags & dcbflag::RtsControlMask;
        if (int err = SetModemLine(fd, TIOCM_RTS, rts != 0); err != 0)
            return err;
    }
    return 0;
}

} // namespace

int ApplyLine(int fd, const ControlBlock& dcb) {
    termios2 t{};
    if (int err = Ioctl(fd, TCGETS2, &t); err != 0)
        return err;
    using Mapper = int (*)(termios2&, const ControlBlock&);
    static constexpr Mapper kMappers[] = {MapRate, MapByteSize, MapParity, MapStopBits};
    for (const Mapper map : kMappers)
        if (int err = map(t, dcb); err != 0)
            return err;
    if (int err = RefuseWhatTermiosCannotDo(dcb); err != 0)
        return err;
    MapFlowAndCharacters(t, dcb);
    if (int err = SetExactly(fd, t); err != 0)
        return err;
    return SetModemLines(fd, dcb);
}

} // namespace comsetup::posix
