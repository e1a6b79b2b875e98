// Port names, line settings, start-up checks and messages, opening over real
// pseudo-terminals linked as <root>/ports/COMn, and the closing order.
#include "acquisition/serial_ports.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace tq {

void PrintTo(const PortMessage& m, std::ostream* os) {
  *os << '"' << m.text << "\" / \"" << m.caption << '"';
}

namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;
using testing::PtyPair;
using testing::ScopedDataRoot;

const PortMessage kSamePort{"Same Port Assigned", "Serial Port"};

long ElapsedMs(SteadyClock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<milliseconds>(SteadyClock::now() - since).count());
}

// --- Names and placement ---------------------------------------------------

TEST(PortNamesTest, ListIndexIsOneBelowTheComNumber) {
  EXPECT_EQ(PortNameForIndex(0), "COM1:");
  EXPECT_EQ(PortNameForIndex(5), "COM6:");
  EXPECT_EQ(PortNameForIndex(11), "COM12:");
}

TEST(PortNamesTest, MarkerListSkipsCom6) {
  const int32_t expected[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12};
  for (int32_t position = 0; position < 12; ++position) {
    EXPECT_EQ(MarkerComNumber(position), expected[position]) << position;
  }
  EXPECT_EQ(MarkerComNumber(-1), 0);
  EXPECT_EQ(MarkerComNumber(12), 0);
  EXPECT_EQ(MarkerPortName(6), "COM7:");
  EXPECT_EQ(MarkerPortName(5), "COM5:");
  EXPECT_EQ(MarkerPortName(0), "");
}

TEST(MarkerPlacementTest, SameComNumberSharesTheInstrumentPort) {
  SettingsStore s;
  s.ExtMarkerPort = 6;   // COM7
  s.InstrumentPort = 5;  // COM6
  EXPECT_TRUE(NeedsSeparateMarkerPort(s, kKindTq68Mk2));
  EXPECT_FALSE(MarkerSharesInstrumentPort(s, kKindTq68Mk2));
  s.InstrumentPort = 6;  // COM7
  EXPECT_FALSE(NeedsSeparateMarkerPort(s, kKindTq68Mk2));
  EXPECT_TRUE(MarkerSharesInstrumentPort(s, kKindTq68Mk2));
}

TEST(MarkerPlacementTest, OnlyKindSevenWithAMarkerChosenHasOne) {
  SettingsStore s;
  s.ExtMarkerPort = 3;
  s.InstrumentPort = 0;
  EXPECT_FALSE(NeedsSeparateMarkerPort(s, kKindTq68));
  EXPECT_FALSE(MarkerSharesInstrumentPort(s, kKindTq68));
  s.ExtMarkerPort = 0;
  EXPECT_FALSE(NeedsSeparateMarkerPort(s, kKindTq68Mk2));
  EXPECT_FALSE(MarkerSharesInstrumentPort(s, kKindTq68Mk2));
}

// --- Line settings ---------------------------------------------------------

TEST(LineSettingsTest, InstrumentAndMarkerPortsDifferOnlyInDsrFlow) {
  LineSettings inst = InstrumentLineSettings(kKindTq68Mk2);
  EXPECT_EQ(inst.data_bits, 8);
  EXPECT_EQ(inst.parity, Parity::kNone);
  EXPECT_EQ(inst.dtr, ControlLine::kOn);
  EXPECT_EQ(inst.rts, ControlLine::kOff);
  EXPECT_FALSE(inst.dsr_out_flow);
  LineSettings marker = MarkerLineSettings(kKindTq68Mk2);
  EXPECT_TRUE(marker.dsr_out_flow);
  marker.dsr_out_flow = false;
  EXPECT_EQ(marker.baud, inst.baud);
  EXPECT_EQ(marker.data_bits, inst.data_bits);
  EXPECT_EQ(marker.parity, inst.parity);
  EXPECT_EQ(marker.stop_bits, inst.stop_bits);
  EXPECT_EQ(marker.xon_xoff, inst.xon_xoff);
  EXPECT_EQ(marker.dtr, inst.dtr);
  EXPECT_EQ(marker.rts, inst.rts);
}

TEST(PortTimeoutsTest, InstrumentAndMarkerWaitAboutTwoSecondsGpsAboutAFifth) {
  // Read interval, read multiplier, read constant, write multiplier, write constant.
  auto fields = [](const PortTimeouts& t) {
    return std::array<uint32_t, 5>{t.read_interval_ms, t.read_multiplier_ms, t.read_constant_ms,
                                   t.write_multiplier_ms, t.write_constant_ms};
  };
  EXPECT_EQ(fields(InstrumentPortTimeouts()), (std::array<uint32_t, 5>{65535, 1000, 1000, 0, 0}));
  EXPECT_EQ(fields(GpsPortTimeouts()), (std::array<uint32_t, 5>{100, 100, 100, 100, 100}));
}

TEST(LineSettingsTest, InstrumentLineSpeedFollowsTheKind) {
  for (int32_t kind = 0; kind < kKindCount; ++kind) {
    LineSettings line = InstrumentLineSettings(kind);
    EXPECT_EQ(line.baud, kind == kKindTq68Mk2 ? 19200u : 9600u) << kind;
    EXPECT_EQ(line.stop_bits, 1) << kind;
    EXPECT_FALSE(line.xon_xoff) << kind;
  }
}

TEST(LineSettingsTest, GpsReceiverAt4800EightNoneOne) {
  SettingsStore s;
  s.GpsBaud = 0;
  s.GpsDataBits = 1;
  s.GpsParity = 0;
  s.GpsStopBits = 0;
  LineSettings line = GpsLineSettings(s);
  EXPECT_EQ(line.baud, 4800u);
  EXPECT_EQ(line.data_bits, 8);
  EXPECT_EQ(line.parity, Parity::kNone);
  EXPECT_EQ(line.stop_bits, 1);
  EXPECT_TRUE(line.xon_xoff);
  // A receiver may take its power from DTR or RTS: both stay as the port has them.
  EXPECT_EQ(line.dtr, ControlLine::kUnchanged);
  EXPECT_EQ(line.rts, ControlLine::kUnchanged);
}

TEST(LineSettingsTest, GpsListIndicesMapToTheirValues) {
  const uint32_t bauds[] = {4800, 9600, 19200, 38400, 57600, 115200};
  SettingsStore s;
  for (int32_t i = 0; i < 6; ++i) {
    s.GpsBaud = i;
    EXPECT_EQ(GpsLineSettings(s).baud, bauds[i]);
  }
  s.GpsDataBits = 0;
  s.GpsParity = 1;
  s.GpsStopBits = 1;
  LineSettings line = GpsLineSettings(s);
  EXPECT_EQ(line.data_bits, 7);
  EXPECT_EQ(line.parity, Parity::kEven);
  EXPECT_EQ(line.stop_bits, 2);
  s.GpsParity = 2;
  EXPECT_EQ(GpsLineSettings(s).parity, Parity::kOdd);
}

TEST(LineSettingsTest, GpsIndicesFromADamagedFileFallBackToDefaults) {
  SettingsStore s;
  s.GpsBaud = 17;
  s.GpsDataBits = -3;
  s.GpsParity = 9;
  s.GpsStopBits = 4;
  LineSettings line = GpsLineSettings(s);
  EXPECT_EQ(line.baud, 9600u);
  EXPECT_EQ(line.data_bits, 8);
  EXPECT_EQ(line.parity, Parity::kNone);
  EXPECT_EQ(line.stop_bits, 1);
  s.GpsBaud = -1;
  EXPECT_EQ(GpsLineSettings(s).baud, 9600u);
}

// --- Checks and messages -----------------------------------------------------

TEST(PortAssignmentTest, GpsOnTheInstrumentPortIsRefused) {
  SettingsStore s;
  s.GpsInput = 1;
  s.InstrumentPort = 2;
  s.GpsPort = 2;
  EXPECT_EQ(CheckPortAssignments(s, kKindTq62), kSamePort);
  s.GpsInput = 0;
  EXPECT_FALSE(CheckPortAssignments(s, kKindTq62).has_value());
  s.GpsInput = 1;
  s.GpsPort = 3;
  EXPECT_FALSE(CheckPortAssignments(s, kKindTq62).has_value());
}

TEST(PortAssignmentTest, MarkerOnTheGpsPortIsRefusedForKindSeven) {
  SettingsStore s;
  s.GpsInput = 1;
  s.InstrumentPort = 0;  // COM1
  s.GpsPort = 6;         // COM7
  s.ExtMarkerPort = 6;   // COM7
  EXPECT_EQ(CheckPortAssignments(s, kKindTq68Mk2), kSamePort);
  // Other kinds have no marker port.
  EXPECT_FALSE(CheckPortAssignments(s, kKindTq68).has_value());
  // The marker on the instrument's own port is allowed.
  s.ExtMarkerPort = 1;
  EXPECT_FALSE(CheckPortAssignments(s, kKindTq68Mk2).has_value());
  // Without GPS input nothing can clash with it.
  s.ExtMarkerPort = 6;
  s.GpsInput = 0;
  EXPECT_FALSE(CheckPortAssignments(s, kKindTq68Mk2).has_value());
}

TEST(PortMessagesTest, AnOpenErrorSaysWhatTheOperatorCanDo) {
  EXPECT_EQ(ExplainPortError("/dev/ttyUSB0: Permission denied", "dialout"),
            "/dev/ttyUSB0: Permission denied; add yourself to the dialout group, then log in again");
  EXPECT_EQ(ExplainPortError("/dev/ttyUSB0: No such file or directory", "dialout"),
            "/dev/ttyUSB0: No such file or directory; is it plugged in? tqlog --ports lists the serial devices");
  EXPECT_EQ(ExplainPortError("/dev/ttyS0: port in use", "dialout"), "/dev/ttyS0: port in use");
  EXPECT_EQ(ExplainPortError("", ""), "");
}

TEST(PortMessagesTest, OpenFailureNamesTheKindsPort) {
  const char* expected[] = {"Cannot open TQ62 port",  "Cannot open TQ68B port",
                            "Cannot open TQ68D port", "Cannot open TQ68 port",
                            "Cannot open TQ64 port",  "Cannot open TQ93 port",
                            "Cannot open FRZ62 port", "Cannot open TQ68MK2 port"};
  for (int32_t kind = 0; kind < kKindCount; ++kind) {
    EXPECT_EQ(InstrumentOpenFailure(kind), (PortMessage{expected[kind], "Serial Port"}));
  }
  EXPECT_EQ(GpsOpenFailure(), (PortMessage{"Cannot open GPS port", "Serial Port"}));
  EXPECT_EQ(MarkerOpenFailure(), (PortMessage{"Cannot open External Marker port", "Serial Port"}));
  EXPECT_EQ(InstrumentOffMessage(), (PortMessage{"Instrument OFF or Disconnected", "Connection"}));
}

// --- Opening over pseudo-terminals -------------------------------------------

// Pseudo-terminals linked under a fresh data root as its COM ports, with a
// descriptor of our own on each so the applied settings can be read back.
// The pseudo-terminal driver keeps speed, stop bits, odd parity and flow
// control but forces 8 data bits without parity, so data bits and parity
// enable are checked on the LineSettings the ports are given.
class PortOpeningTest : public ::testing::Test {
 protected:
  ~PortOpeningTest() override {
    for (int fd : probes_) ::close(fd);
  }

  // Links a new pseudo-terminal as COM`com`; returns it.
  PtyPair& Link(int com) {
    ptys_.push_back(std::make_unique<PtyPair>());
    PtyPair& pty = *ptys_.back();
    std::filesystem::create_directories(root_.path() / "ports");
    std::filesystem::create_symlink(pty.slave_path(),
                                    root_.path() / "ports" / ("COM" + std::to_string(com)));
    probes_.push_back(::open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    EXPECT_GE(probes_.back(), 0);
    return pty;
  }

  void LinkMissing(int com) {
    std::filesystem::create_directories(root_.path() / "ports");
    std::filesystem::create_symlink("/nonexistent/device",
                                    root_.path() / "ports" / ("COM" + std::to_string(com)));
  }

  // The line settings now in force on the pseudo-terminal linked n-th.
  termios Applied(size_t n) {
    termios tio{};
    EXPECT_EQ(::tcgetattr(probes_[n], &tio), 0);
    return tio;
  }

  ScopedDataRoot root_;
  std::vector<std::unique_ptr<PtyPair>> ptys_;
  std::vector<int> probes_;
  SettingsStore settings_;
};

bool Has(tcflag_t flags, tcflag_t bits) { return (flags & bits) == bits; }

TEST_F(PortOpeningTest, InstrumentPortGetsTheKindsLineSettings) {
  Link(3);
  settings_.InstrumentPort = 2;
  std::string error;
  auto port = OpenInstrumentPort(settings_, kKindTq68Mk2, &error);
  ASSERT_NE(port, nullptr) << error;
  termios tio = Applied(0);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_FALSE(Has(tio.c_cflag, PARODD));
  EXPECT_FALSE(Has(tio.c_cflag, CSTOPB));
  EXPECT_FALSE(Has(tio.c_cflag, CRTSCTS));
  EXPECT_FALSE(Has(tio.c_iflag, IXON));
  EXPECT_FALSE(Has(tio.c_iflag, IXOFF));
  port.reset();

  ASSERT_NE(OpenInstrumentPort(settings_, kKindTq62, &error), nullptr) << error;
  tio = Applied(0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
}

TEST_F(PortOpeningTest, GpsPortGetsItsSettingsAndShortTimeout) {
  Link(4);
  settings_.GpsPort = 3;
  settings_.GpsBaud = 0;
  settings_.GpsDataBits = 0;
  settings_.GpsParity = 2;
  settings_.GpsStopBits = 1;
  std::string error;
  auto port = OpenGpsPort(settings_, &error);
  ASSERT_NE(port, nullptr) << error;
  termios tio = Applied(0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_TRUE(Has(tio.c_cflag, PARODD));
  EXPECT_TRUE(Has(tio.c_cflag, CSTOPB));
  EXPECT_TRUE(Has(tio.c_iflag, IXON | IXOFF));
  // 100 ms per byte plus 100 ms: a silent receiver costs about 200 ms a read.
  uint8_t b = 0;
  auto start = SteadyClock::now();
  EXPECT_EQ(port->ReadByte(&b), ReadResult::kTimeout);
  EXPECT_GE(ElapsedMs(start), 150);
  EXPECT_LT(ElapsedMs(start), 1500);
  port.reset();

  settings_.GpsBaud = 5;
  settings_.GpsDataBits = 1;
  settings_.GpsParity = 1;
  settings_.GpsStopBits = 0;
  ASSERT_NE(OpenGpsPort(settings_, &error), nullptr) << error;
  tio = Applied(0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
  EXPECT_FALSE(Has(tio.c_cflag, PARODD));
  EXPECT_FALSE(Has(tio.c_cflag, CSTOPB));
  EXPECT_TRUE(Has(tio.c_iflag, IXON | IXOFF));
}

TEST_F(PortOpeningTest, GpsPortMakesTenAttemptsInARow) {
  Link(2);
  settings_.GpsPort = 1;
  int attempts = 0;
  // Busy nine times, then the real device.
  auto port = OpenGpsPort(settings_, nullptr,
                          [&](const std::filesystem::path& device, std::string* error) {
                            return ++attempts < 10 ? nullptr : SerialPort::Open(device, error);
                          });
  EXPECT_NE(port, nullptr);
  EXPECT_EQ(attempts, 10);
  port.reset();

  // Held by another opener: all ten real attempts fail.
  auto holder = SerialPort::Open(ptys_[0]->slave_path());
  ASSERT_NE(holder, nullptr);
  attempts = 0;
  std::string error;
  port = OpenGpsPort(settings_, &error, [&](const std::filesystem::path& device, std::string* e) {
    ++attempts;
    return SerialPort::Open(device, e);
  });
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(attempts, 10);
  EXPECT_FALSE(error.empty());
}

TEST_F(PortOpeningTest, InstrumentPortMakesOneAttempt) {
  Link(1);
  settings_.InstrumentPort = 0;
  auto holder = SerialPort::Open(ptys_[0]->slave_path());
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(OpenInstrumentPort(settings_, kKindTq68Mk2), nullptr);
}

TEST_F(PortOpeningTest, MarkerListPositionSixOpensCom7) {
  Link(6);
  Link(7);
  settings_.ExtMarkerPort = 6;
  std::string error;
  auto marker = OpenMarkerPort(settings_, kKindTq68Mk2, &error);
  ASSERT_NE(marker, nullptr) << error;
  // COM7 is held now; COM6 is free.
  EXPECT_EQ(SerialPort::Open(ptys_[1]->slave_path()), nullptr);
  EXPECT_NE(SerialPort::Open(ptys_[0]->slave_path()), nullptr);
  termios tio = Applied(1);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_FALSE(Has(tio.c_cflag, CSTOPB));
  EXPECT_FALSE(Has(tio.c_iflag, IXON));

  settings_.ExtMarkerPort = 0;
  EXPECT_EQ(OpenMarkerPort(settings_, kKindTq68Mk2), nullptr);
}

TEST_F(PortOpeningTest, SamePortAssignedOpensNothing) {
  PtyPair& com1 = Link(1);
  settings_.InstrumentPort = 0;
  settings_.GpsPort = 0;
  settings_.GpsInput = 1;
  SerialPorts ports;
  EXPECT_EQ(OpenInstrumentPortForRun(ports, settings_, kKindTq68Mk2), kSamePort);
  EXPECT_EQ(ports.instrument.port, nullptr);
  // Nobody holds the device.
  EXPECT_NE(SerialPort::Open(com1.slave_path()), nullptr);
}

TEST_F(PortOpeningTest, RunStartOpensTheInstrumentPortOrSaysWhichCannotBe) {
  Link(5);
  LinkMissing(6);
  SerialPorts ports;
  settings_.InstrumentPort = 4;
  EXPECT_FALSE(OpenInstrumentPortForRun(ports, settings_, kKindTq68Mk2).has_value());
  ASSERT_NE(ports.instrument.port, nullptr);
  EXPECT_TRUE(ports.instrument.port->IsOpen());

  SerialPorts other;
  settings_.InstrumentPort = 5;
  const std::string missing = (root_.path() / "ports" / "COM6").string();
  EXPECT_EQ(OpenInstrumentPortForRun(other, settings_, kKindFrz62),
            (PortMessage{"Cannot open FRZ62 port", "Serial Port",
                         missing + ": No such file or directory; is it plugged in? tqlog --ports lists "
                                   "the serial devices"}));
  EXPECT_EQ(other.instrument.port, nullptr);
}

TEST_F(PortOpeningTest, DamagedPortIndexesOpenNoOtherPortsDevice) {
  // Were the names taken loosely, -1 ("COM0:") and -5 ("COM-4:") would find
  // these links.
  Link(0);
  Link(4);
  struct Case {
    int32_t instrument;
    int32_t gps;
  };
  for (const Case c : {Case{-1, 5}, Case{-5, 5}, Case{-1, 0}, Case{-1, -1}}) {
    settings_.InstrumentPort = c.instrument;
    settings_.GpsPort = c.gps;
    settings_.GpsInput = 1;
    SerialPorts ports;
    EXPECT_EQ(OpenInstrumentPortForRun(ports, settings_, kKindTq68Mk2).value_or(PortMessage{}).text,
              InstrumentOpenFailure(kKindTq68Mk2).text)
        << c.instrument << " " << c.gps;
    EXPECT_EQ(ports.instrument.port, nullptr);
    settings_.GpsPort = c.instrument;
    EXPECT_EQ(OpenGpsPort(settings_), nullptr) << c.instrument;
  }
}

TEST_F(PortOpeningTest, TwoNamesOfOneDeviceAreTheSamePort) {
  PtyPair& com2 = Link(2);
  std::filesystem::create_symlink(com2.slave_path(), root_.path() / "ports" / "COM3");
  settings_.InstrumentPort = 1;
  settings_.GpsPort = 2;
  settings_.GpsInput = 1;
  SerialPorts ports;
  EXPECT_EQ(OpenInstrumentPortForRun(ports, settings_, kKindTq68Mk2), kSamePort);
  settings_.ExtMarkerPort = 2;  // COM2, the GPS port's device
  settings_.InstrumentPort = 0;
  EXPECT_EQ(CheckPortAssignments(settings_, kKindTq68Mk2), kSamePort);
}

// --- Closing ------------------------------------------------------------------

// A stand-in reader: blocks in reads until its port closes, then notes that
// it left.
class ClosingLog {
 public:
  void Add(const std::string& what) {
    std::lock_guard lock(mutex_);
    entries_.push_back(what);
  }
  std::vector<std::string> Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

std::thread StartBlockedReader(Port* port, ClosingLog* log, std::string name,
                               std::atomic<bool>* left = nullptr) {
  return std::thread([port, log, name, left] {
    uint8_t b = 0;
    while (port->ReadByte(&b) != ReadResult::kClosed) {
    }
    log->Add(name);
    if (left != nullptr) left->store(true);
  });
}

std::unique_ptr<Port> OpenPty(const PtyPair& pty, const PortTimeouts& timeouts) {
  auto port = SerialPort::Open(pty.slave_path());
  EXPECT_NE(port, nullptr);
  if (port) {
    EXPECT_TRUE(port->Configure(LineSettings{}, timeouts));
  }
  return port;
}

TEST(CloseRunPortsTest, ClosesGpsThenMarkerThenTimerThenInstrument) {
  PtyPair inst_pty, gps_pty, marker_pty;
  SerialPorts ports;
  ClosingLog log;
  std::atomic<bool> gps_left{false};
  ports.instrument.port = OpenPty(inst_pty, InstrumentPortTimeouts());
  ports.gps.port = OpenPty(gps_pty, GpsPortTimeouts());
  ports.marker.port = OpenPty(marker_pty, InstrumentPortTimeouts());
  ports.instrument.reader = StartBlockedReader(ports.instrument.port.get(), &log, "instrument");
  ports.gps.reader = StartBlockedReader(ports.gps.port.get(), &log, "gps", &gps_left);
  ports.marker.reader = StartBlockedReader(ports.marker.port.get(), &log, "marker");
  std::this_thread::sleep_for(milliseconds(50));

  auto start = SteadyClock::now();
  EXPECT_TRUE(CloseRunPorts(ports, [&] { return gps_left.load(); }, [&] { log.Add("timer"); }));
  EXPECT_LT(ElapsedMs(start), 1500);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"gps", "marker", "timer", "instrument"}));
  EXPECT_EQ(ports.instrument.port, nullptr);
  EXPECT_EQ(ports.gps.port, nullptr);
  EXPECT_EQ(ports.marker.port, nullptr);
  EXPECT_FALSE(ports.instrument.reader.joinable());
  EXPECT_FALSE(ports.gps.reader.joinable());
  EXPECT_FALSE(ports.marker.reader.joinable());
}

TEST(CloseRunPortsTest, NothingOpenStillStopsTheTimer) {
  SerialPorts ports;
  int timer_stops = 0;
  EXPECT_TRUE(CloseRunPorts(ports, nullptr, [&] { ++timer_stops; }));
  EXPECT_EQ(timer_stops, 1);
}

TEST(CloseRunPortsTest, GpsReaderThatNeverReportsIsLetGoAfterTheWait) {
  PtyPair inst_pty, gps_pty;
  SerialPorts ports;
  ClosingLog log;
  ports.instrument.port = OpenPty(inst_pty, InstrumentPortTimeouts());
  ports.gps.port = OpenPty(gps_pty, GpsPortTimeouts());
  ports.instrument.reader = StartBlockedReader(ports.instrument.port.get(), &log, "instrument");
  // A GPS reader stuck elsewhere: it touches its port only after the run has
  // closed, which must still be safe.
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto done = std::make_shared<std::atomic<bool>>(false);
  Port* gps = ports.gps.port.get();
  ports.gps.reader = std::thread([gps, release, done] {
    while (!release->load()) std::this_thread::sleep_for(milliseconds(5));
    uint8_t b = 0;
    EXPECT_EQ(gps->ReadByte(&b), ReadResult::kClosed);
    done->store(true);
  });

  auto start = SteadyClock::now();
  EXPECT_FALSE(CloseRunPorts(ports, [] { return false; }, nullptr, milliseconds(300)));
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 300);
  EXPECT_LT(elapsed, 2000);
  EXPECT_EQ(log.Entries(), std::vector<std::string>{"instrument"});
  EXPECT_EQ(ports.gps.port, nullptr);
  EXPECT_FALSE(ports.gps.reader.joinable());

  release->store(true);
  auto deadline = SteadyClock::now() + milliseconds(5000);
  while (!done->load() && SteadyClock::now() < deadline) std::this_thread::sleep_for(milliseconds(5));
  EXPECT_TRUE(done->load());
}

}  // namespace
}  // namespace tq
