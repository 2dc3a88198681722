// CSerialLink: the tool's one serial-port object. It opens and configures a COM port, runs the
// monitor thread that alone reads and writes the port during a listing, holds the transmit and
// reply buffers that the camera operations share with that thread, and raises every warning.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event.h"
#include "platform/serial_port.h"
#include "serial/warning_sink.h"

struct CSerialLinkTestAccess;  // tests reach the fields through this

class CSerialLink {
public:
    static constexpr int kReplySize = 40;

    explicit CSerialLink(IWarningSink* warnings = nullptr);
    virtual ~CSerialLink();
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;

    // Port configuration and warnings.
    bool OpenPort(int portNumber, int baud, char parity, int dataBits, int stopBits,
                  std::uint32_t eventMask, std::uint32_t sendBufferSize);
    void ReportError(const char* operation, const char* detail);

    // Monitor thread.
    bool StartMonitor();

    // Hex command codec.
    std::uint8_t HexValue(char c);
    static char HexDigit(unsigned value);
    void SendHex(const char* text);

    // Camera handshake and line read.
    int PingCamera();
    const char* ReadLine(char* address);

    // COMn stands for `device` on this link, whatever else would map it (empty: as usual).
    void MapPort(int port, const std::string& device);
    // Whether the last OpenPort left a port open (it may have hung up since).
    bool IsPortOpen() const { return m_hPort != nullptr; }
    // Whether the open port has hung up since; false when none is open or a listing runs.
    bool PortHungUp() const { return m_hPort && !m_threadAlive.load() && m_hPort->HungUp(); }
    // The device the last OpenPort tried, and why it did not open (0 when it did).
    const std::string& DevicePath() const { return m_devicePath; }
    // The port number the last OpenPort was given.
    int PortNumber() const { return m_portNumber; }
    platform::ErrorCode OpenError() const { return m_openError; }
    // Why the last OpenPort did not open its port, in words a user can act on: the port file's
    // reason for a port that is unavailable, else the system's; empty when it opened.
    std::string OpenFailureText() const;
    // The port has gone away (reported once) and has not opened again since: later listings
    // end at once instead of asking a device that is not there.
    bool PortGone() const { return m_portGone.load(); }
    // "COM1 (/dev/ttyUSB0): the device is gone".
    std::string PortGoneText() const;

    // Ends a running listing: no further command goes out, waits for replies end at once, and
    // no warning is shown any more, until ResetCancel. Closing the window cancels for good.
    void Cancel();
    void ResetCancel();
    bool IsCancelled() const { return m_cancelled.load(); }
    // Sleeps up to ms; false when cancelled meanwhile.
    bool PauseUnlessCancelled(int ms);

    void SetWarningSink(IWarningSink* warnings) { m_warnings = warnings; }

private:
    friend struct CSerialLinkTestAccess;

    static void MonitorThread(CSerialLink* link);
    static void TransmitPending(CSerialLink* link);
    static void ReceivePending(CSerialLink* link);
    // Ends a running monitor thread (and one started but not yet running) by joining it.
    void EndMonitor();
    // Stores one received byte, counts it and signals it, in that order; a byte beyond the
    // 40th is dropped and not signalled.
    void StoreReplyByte(std::uint8_t byte);
    // Empties the reply buffer before a command is handed over.
    void ClearReply();
    // One command-and-reply exchange: clear, hand over, then wait up to the reply time-out for
    // each byte until the reply passes `test`. False after a time-out or when cancelled.
    bool Exchange(const char* command, const std::function<bool()>& test);
    bool ExchangeForReply(const char* command, const std::uint8_t* reply, std::size_t length);
    bool ExchangeForCount(const char* command, std::int32_t count);
    // Shows the warning for a failed step with the system's text for `code`. Never called
    // with m_lock held.
    void ReportFailure(const char* operation, platform::ErrorCode code);
    // The device has gone away: reported once; from then on the monitor thread leaves the port
    // alone.
    void ReportPortGone(const char* operation, platform::ErrorCode code);
    // The warning for a failed `operation`, in the tool's one format.
    void ShowReport(const char* operation, const std::string& reason);

    std::thread m_thread;
    std::mutex m_lock;  // guards the calls on the port
    std::atomic<bool> m_threadAlive{false};
    std::unique_ptr<platform::Event> m_hStopEvent;
    std::unique_ptr<platform::SerialPort> m_hPort;  // null when no port is open
    std::unique_ptr<platform::Event> m_hSendEvent;
    std::unique_ptr<platform::Event> m_hByteEvent;
    platform::PortTimeouts m_timeouts;
    platform::PortState m_dcb;
    int m_portNumber = 0;
    std::unique_ptr<std::uint8_t[]> m_sendBuffer;
    std::uint32_t m_sendBufferSize = 0;
    std::int32_t m_sendLength = 0;
    std::mutex m_replyLock;  // the byte store and the issuer's clear
    std::array<std::uint8_t, kReplySize> m_reply{};
    std::atomic<std::int32_t> m_replyCount{0};
    std::string m_line;
    // Called right after each command is handed over; tests deliver scripted replies through it
    // instead of a monitor thread, so that which bytes an exchange sees is not a race.
    std::function<void(const char* command)> m_commandHandedOver;

    IWarningSink* m_warnings;
    std::array<std::string, 4> m_mappedDevices;
    std::string m_devicePath;
    platform::ErrorCode m_openError = 0;
    std::string m_unavailable;  // the port file's reason why the port cannot be opened
    std::atomic<bool> m_portGone{false};
    int m_gonePort = 0;       // the port that went; only OpenPort reads it
    bool m_portDead = false;  // monitor thread only: the port hung up, reported once
    std::atomic<bool> m_cancelled{false};
    platform::Event m_hCancelEvent;
};
