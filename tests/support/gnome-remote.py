"""Keys and screenshots for a private GNOME Shell (tests/support/gnome.sh).

  gnome-remote.py serve BUS SOCKET   (as the desktop's user) connects to the
      shell's session bus at address BUS, leaves the overview the shell
      starts in, then answers requests on the Unix socket SOCKET
  gnome-remote.py send SOCKET REQUEST...   sends one request; status 0 when done

Requests: "key KEYSYM" presses and releases an X keysym (Escape, a, Return);
"shot FILE" writes the whole screen to FILE as PNG (FILE writable by the user).

Mutter takes keys from a RemoteDesktop session, which lives as long as the
connection that made it: one session for the whole run keeps one keyboard
on the seat, as windows expect of a desktop. The shell
answers screenshot requests only from a few bus names; org.gnome.Screenshot
is one of them, so the server owns it.
"""
import ctypes
import os
import socket
import sys
import time

REMOTE_DESKTOP = "org.gnome.Mutter.RemoteDesktop"


def keysym(name):
    xkb = ctypes.CDLL("libxkbcommon.so.0")
    xkb.xkb_keysym_from_name.restype = ctypes.c_uint32
    xkb.xkb_keysym_from_name.argtypes = [ctypes.c_char_p, ctypes.c_int]
    return xkb.xkb_keysym_from_name(name.encode(), 0)


def serve(address, path):
    import dbus

    # Up to 60 s for the shell and its remote desktop on the bus.
    for _ in range(600):
        try:
            bus = dbus.bus.BusConnection(address)
            if bus.name_has_owner("org.gnome.Shell.Screenshot") and bus.name_has_owner(REMOTE_DESKTOP):
                break
            bus.close()
        except dbus.DBusException:
            pass
        time.sleep(0.1)
    else:
        sys.exit("the shell did not appear on its bus")
    bus.request_name("org.gnome.Screenshot")
    remote = bus.get_object(REMOTE_DESKTOP, "/org/gnome/Mutter/RemoteDesktop")
    session = bus.get_object(REMOTE_DESKTOP, remote.CreateSession(dbus_interface=REMOTE_DESKTOP))
    session.Start(dbus_interface=REMOTE_DESKTOP + ".Session")
    shell = bus.get_object("org.gnome.Shell", "/org/gnome/Shell")
    screenshot = bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot")

    def press(symbol):
        for down in (True, False):
            session.NotifyKeyboardKeysym(dbus.UInt32(symbol), down,
                                         dbus_interface=REMOTE_DESKTOP + ".Session")

    def overview():
        return shell.Get("org.gnome.Shell", "OverviewActive",
                         dbus_interface="org.freedesktop.DBus.Properties")

    # The shell opens its overview as it finishes starting, and the overview
    # would take the keys meant for windows: once it is open (or 20 s have
    # passed), Escape leaves it, again each second until it is gone.
    for _ in range(200):
        if overview():
            break
        time.sleep(0.1)
    for tick in range(100):
        if not overview():
            break
        if tick % 10 == 0:
            press(keysym("Escape"))
        time.sleep(0.1)
    else:
        sys.exit("the shell stayed in its overview")

    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    if os.path.exists(path):
        os.unlink(path)
    server.bind(path)
    os.chmod(path, 0o600)
    server.listen(1)
    print("ready", flush=True)
    while True:
        connection, _ = server.accept()
        with connection:
            words = connection.makefile().readline().split(" ", 1)
            answer = "error"
            try:
                if words[0] == "key" and len(words) == 2 and keysym(words[1].strip()):
                    press(keysym(words[1].strip()))
                    answer = "ok"
                elif words[0] == "shot" and len(words) == 2:
                    done, _ = screenshot.Screenshot(False, False, words[1].strip(),
                                                    dbus_interface="org.gnome.Shell.Screenshot")
                    answer = "ok" if done else "error"
            except dbus.DBusException as error:
                if not bus.get_is_connected():
                    sys.exit("the shell's bus went away")
                answer = "error " + str(error)
            connection.sendall((answer + "\n").encode())


def send(path, request):
    client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        client.connect(path)
        client.sendall((" ".join(request) + "\n").encode())
        answer = client.makefile().readline().strip()
    except OSError as error:
        answer = "no desktop here (" + str(error) + ")"
    if answer != "ok":
        sys.exit("gnome-remote: " + " ".join(request) + ": " + answer)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "serve":
        serve(sys.argv[2], sys.argv[3])
    elif len(sys.argv) >= 4 and sys.argv[1] == "send":
        send(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)
