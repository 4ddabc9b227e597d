# -*- coding: utf-8 -*-
# What the modules of kelvane.modems share: the options that reach a modem
# (port, line settings, remote number and password, the dial-out pool), how
# they become kelvane-cli arguments, and values handed over in private files.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import re
import shutil
import tempfile

DIAL_NUMBER = re.compile(r"^[0-9 *#+,\-()/PTWptw]{1,40}$")

RATES = [300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200]
SECTIONS = ["basic", "serial", "dial", "callerid", "remote", "callback", "io", "all"]


def connection_arguments(remote=True, pool=False):
    """The options that reach a modem: the port and its line settings, with
    `remote` the far modem's number and password, with `pool` the dial-out
    pool (then the port is no longer required)."""
    arguments = dict(
        port=dict(type="str", required=not pool),
        baud=dict(type="int", choices=RATES),
        parity=dict(type="str"),
        data_bits=dict(type="int", choices=[7, 8]),
        stop_bits=dict(type="int", choices=[1, 2]),
    )
    if remote:
        arguments.update(
            remote_number=dict(type="raw"),
            password=dict(type="str", no_log=True),
            password_file=dict(type="path", no_log=False),
        )
    if pool:
        arguments.update(
            dialout_ports=dict(type="list", elements="str"),
            dialout_wait=dict(type="int", default=600),
        )
    return arguments


REMOTE_RULES = dict(
    required_by={"password_file": "remote_number", "password": "remote_number"},
    mutually_exclusive=[("password", "password_file")],
)


def dial_number(module):
    """The remote number as given, refused unless it is a string of dial characters."""
    number = module.params["remote_number"]
    if number is None:
        return None
    if isinstance(number, int) and not isinstance(number, bool):
        # An INI inventory ("far1 remote=5551234") and unquoted YAML both
        # hand over a number: its leading zeros are gone, or YAML read it as
        # octal, so it cannot be dialled as written.
        module.fail_json(msg="remote_number must be a string, got the number %d: quote it. In an INI inventory "
                             "write far1 remote_number='\"0401234567\"' (the inner double quotes keep it a string), "
                             "in YAML remote_number: \"0401234567\"; unquoted, YAML reads a number with a leading 0 "
                             "as octal" % number)
    if not isinstance(number, str) or not DIAL_NUMBER.match(number) or not any(c.isdigit() for c in number):
        module.fail_json(msg="remote_number must be a string of digits and the dial characters \" *#+,-()/PTW\", "
                             "got %r: quote it (remote_number: \"0401234567\")" % (number,))
    return number


def parity_word(module):
    """None, Odd or Even, given in any case."""
    parity = module.params["parity"]
    if parity is None:
        return None
    word = str(parity).capitalize()
    if word not in ("None", "Odd", "Even"):
        module.fail_json(msg="parity must be None, Odd or Even (in any case), got %r" % (parity,))
    return word


def port_args(module):
    """--port (or --via for each port of the pool) and the line settings."""
    p = module.params
    args = []
    if p.get("dialout_ports") and p["port"]:
        module.fail_json(msg="port and dialout_ports are mutually exclusive")
    if p.get("dialout_ports"):
        if not p["remote_number"]:
            module.fail_json(msg="dialout_ports is for far modems: give remote_number too")
        for port in p["dialout_ports"]:
            args += ["--via", port]
        args += ["--wait", str(p["dialout_wait"])]
    elif p["port"]:
        args += ["--port", p["port"]]
    else:
        module.fail_json(msg="one of port or dialout_ports is required")
    for option, name in (("baud", "--baud"), ("data_bits", "--data"), ("stop_bits", "--stop")):
        if p[option] is not None:
            args += [name, str(p[option])]
    parity = parity_word(module)
    if parity:
        args += ["--parity", parity]
    return args


def remote_args(module):
    """--remote and where the password comes from; the password itself goes
    on standard input (returned second), never in the arguments or the
    environment, which process listings and -vvv show."""
    p = module.params
    if "remote_number" not in p:
        return [], None
    number = dial_number(module)
    if not number:
        return [], None
    args = ["--remote", number]
    if p["password"] is not None:
        args += ["--password-file", "-"]
    elif p["password_file"]:
        args += ["--password-file", p["password_file"]]
    return args, p["password"]


class PrivateFolder(object):
    """A folder only this user may enter, removed at the end: values handed to
    kelvane-cli in files instead of its arguments, reports and backups on
    their way to where they belong."""

    def __init__(self, prefix):
        self.path = tempfile.mkdtemp(prefix=prefix)
        os.chmod(self.path, 0o700)
        self.count = 0

    def value_file(self, value):
        """A file holding `value` on its only line, readable by its owner only."""
        self.count += 1
        path = os.path.join(self.path, "value-%d" % self.count)
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(fd, "w") as f:
            f.write(value + "\n")
        return path

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


def words_value(value):
    """A value as a diff shows it: an empty one named, as verify --words does."""
    return value if value != "" else "(empty)"


def secret_fields(module, cli):
    """The fields whose values are passwords, as kelvane-cli fields names
    them ("password: ..."): their values are masked in every result."""
    rc, out, err = module.run_command([cli, "fields"])
    if rc != 0:
        module.fail_json(msg="kelvane-cli fields failed: %s" % err.strip())
    secret = set()
    for line in out.splitlines():
        parts = line.split(None, 1)
        if len(parts) == 2 and parts[1].startswith("password:"):
            secret.add(parts[0])
    return secret


def settings_args(module, cli, folder):
    """--set NAME=@FILE for each entry of `settings`: every value travels in a
    private file, so none shows in the tool's arguments; the secret ones are
    masked in the task's output and its -vvv invocation."""
    settings = module.params.get("settings") or {}
    if not settings:
        return []
    secret = secret_fields(module, cli)
    args = []
    for name in sorted(settings):
        value = settings[name]
        if value is None:
            value = ""
        elif isinstance(value, bool):
            value = "1" if value else "0"
        else:
            value = str(value)
        if "\n" in value or "\r" in value:
            module.fail_json(msg="settings: %s: a value is one line" % name)
        if name in secret and value:
            module.no_log_values.add(value)
        args += ["--set", "%s=@%s" % (name, folder.value_file(value))]
    return args


def module_class(base):
    """`base` (AnsibleModule) whose record of the invocation in the managed
    host's system log leaves out `settings`: which of its fields are
    passwords is only known once kelvane-cli was asked."""

    class KelvaneModule(base):
        def _log_invocation(self):
            option = self.argument_spec.get("settings")
            if option is None:
                return base._log_invocation(self)
            saved = option.get("no_log")
            option["no_log"] = True
            try:
                return base._log_invocation(self)
            finally:
                option["no_log"] = saved

    return KelvaneModule
