#pragma once
// The desktop's real-time broker as a test needs it: a system bus of its own, the policy
// daemon with a rule that lets the user nobody have real time, and the broker on that bus.
// Needs root; everything started or written is ended or removed when the object goes. While
// it lives, DBUS_SYSTEM_BUS_ADDRESS names its bus, so that processes started meanwhile use it.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "link/ChildProcess.h"

namespace kestiva::testing {

class RealtimeBroker {
public:
    static constexpr const char* kBusDaemon = "/usr/bin/dbus-daemon";
    static constexpr const char* kPolicyDaemon = "/usr/lib/polkit-1/polkitd";
    static constexpr const char* kBroker = "/usr/libexec/rtkit-daemon";

    RealtimeBroker() {
        for (const char* program : {kBusDaemon, kPolicyDaemon, kBroker, "/usr/bin/dbus-send"})
            if (access(program, X_OK) != 0) {
                failure_ = std::string(program) + " is not installed";
                return;
            }
        if (geteuid() != 0) {
            failure_ = "only root can start a system bus and a real-time broker";
            return;
        }
        char pattern[] = "/tmp/kestiva-bus-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            failure_ = "no folder for the bus";
            return;
        }
        folder_ = pattern;
        chmod(folder_.c_str(), 0755);  // the user nobody connects to the socket in it
        const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (old != nullptr) oldAddress_ = old;
        start();
    }
    ~RealtimeBroker() {
        broker_.stop();
        policy_.stop();
        bus_.stop();
        std::error_code ignored;
        if (!rulePath_.empty()) std::filesystem::remove(rulePath_, ignored);
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
        if (oldAddress_)
            setenv("DBUS_SYSTEM_BUS_ADDRESS", oldAddress_->c_str(), 1);
        else
            unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    RealtimeBroker(const RealtimeBroker&) = delete;
    RealtimeBroker& operator=(const RealtimeBroker&) = delete;

    // Empty when the broker answers on the bus; otherwise why not.
    const std::string& failure() const { return failure_; }

    // A bus address where no bus listens: a desktop without a system bus.
    static std::string absentBusAddress() { return "unix:path=/nonexistent/kestiva/bus_socket"; }

private:
    void start() {
        const std::string socket = folder_ + "/system_bus_socket";
        std::ofstream(folder_ + "/bus.conf") << busConfiguration(socket);
        if (!bus_.start(kBusDaemon,
                        {"--config-file=" + folder_ + "/bus.conf", "--nofork", "--print-address"}) ||
            !bus_.readLine(std::chrono::seconds(10))) {
            failure_ = "the bus did not start: " + bus_.errorText();
            return;
        }
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
        // There is no login session here, so the broker's actions are allowed to nobody by a
        // rule of the test's own.
        rulePath_ = "/etc/polkit-1/rules.d/49-kestiva-test-" + std::to_string(getpid()) + ".rules";
        std::filesystem::create_directories("/etc/polkit-1/rules.d");
        std::ofstream(rulePath_)
            << "polkit.addRule(function(action, subject) {\n"
               "    if (action.id.indexOf(\"org.freedesktop.RealtimeKit1.\") == 0 &&\n"
               "        subject.user == \"nobody\")\n"
               "        return polkit.Result.YES;\n"
               "});\n";
        // The broker logs to the system log only: with its own limits in force it may not
        // write to a file.
        if (!policy_.start(kPolicyDaemon, {"--no-debug"}) ||
            !waitForName("org.freedesktop.PolicyKit1") || !broker_.start(kBroker, {}) ||
            !waitForName("org.freedesktop.RealtimeKit1"))
            failure_ = "the policy daemon or the broker did not come on the bus: " +
                       policy_.errorText() + broker_.errorText();
    }

    // The system bus's own policy (the services' rules come from their files), on a socket
    // of our own, in the foreground.
    static std::string busConfiguration(const std::string& socket) {
        return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>system</type>\n"
               "  <listen>unix:path=" + socket + "</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow user=\"*\"/>\n"
               "    <deny own=\"*\"/>\n"
               "    <deny send_type=\"method_call\"/>\n"
               "    <allow send_type=\"signal\"/>\n"
               "    <allow send_requested_reply=\"true\" send_type=\"method_return\"/>\n"
               "    <allow send_requested_reply=\"true\" send_type=\"error\"/>\n"
               "    <allow receive_type=\"method_call\"/>\n"
               "    <allow receive_type=\"method_return\"/>\n"
               "    <allow receive_type=\"error\"/>\n"
               "    <allow receive_type=\"signal\"/>\n"
               "    <allow send_destination=\"org.freedesktop.DBus\"/>\n"
               "  </policy>\n"
               "  <includedir>/usr/share/dbus-1/system.d</includedir>\n"
               "</busconfig>\n";
    }

    // True once name has an owner on the bus, within ten seconds.
    static bool waitForName(const std::string& name) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            ChildProcess ask;
            if (!ask.start("/usr/bin/dbus-send",
                           {"--system", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                            "string:" + name}))
                return false;
            if (ask.readAll(std::chrono::seconds(5)).find("boolean true") != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string failure_;
    std::string folder_;
    std::string rulePath_;
    std::optional<std::string> oldAddress_;
    ChildProcess bus_;
    ChildProcess policy_;
    ChildProcess broker_;
};

}  // namespace kestiva::testing
