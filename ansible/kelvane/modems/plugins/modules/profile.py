# -*- coding: utf-8 -*-
# The module runs kelvane-cli apply on the managed host: the tool does the
# work (identify, read, compare, write what differs, AT&W, read back); this
# file only turns its JSON into Ansible's result.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: profile
short_description: Bring a Dalmarin modem to a profile
description:
  - Runs C(kelvane-cli apply --json) on the managed host for one modem on a
    serial port, or for the modem that the local one dials.
  - The modem's sections are read and compared with the profile field by
    field; only the sections that differ are written, stored with C(AT&W),
    read back and compared again. A modem that holds the profile is only read.
  - Over a remote link the serial and remote sections are compared but
    written only when I(sections) names them; the fields left alone are
    returned in C(skipped) and given as a warning.
  - C(kelvane-cli) must be installed on the managed host (package kelvane).
version_added: "2.9.0"
author: Dalmarin
options:
  port:
    description:
      - The serial port of the modem (or of the local modem that dials), such as C(/dev/ttyUSB0).
      - A modem behind a serial device server is C(rfc2217://HOST:PORT) (the line settings are set
        through the server) or C(tcp://HOST:PORT) (the server's line settings hold).
    type: str
    required: true
  profile:
    description: The profile file (C(.dat)) on the managed host.
    type: path
    required: true
  sections:
    description:
      - The sections to compare and write, from C(basic), C(serial), C(dial),
        C(callerid), C(remote), C(callback), C(io).
      - Default every section the model has that a write changes.
    type: list
    elements: str
  remote_number:
    description:
      - The telephone number the local modem dials to reach the modem to configure,
        as a quoted string (digits and the dial characters C( *#+,-()/PTW)).
      - Unquoted, YAML reads C(0401234567) as an octal number; such a value is refused.
    type: raw
  password:
    description:
      - The remote configuration password. It is handed to C(kelvane-cli) on
        its standard input, never in its arguments or its environment, and
        never logged.
      - Mutually exclusive with I(password_file).
    type: str
  password_file:
    description:
      - The file on the managed host whose first line is the remote
        configuration password (readable by its owner only; a file others
        may read gets a warning). Without it or I(password) the environment
        variable C(KELVANE_PASSWORD) is used.
    type: path
  baud:
    description: The speed of the serial port.
    type: int
    choices: [300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200]
  parity:
    description: The parity of the serial port.
    type: str
    choices: [None, Odd, Even]
  data_bits:
    description: The data bits of the serial port.
    type: int
    choices: [7, 8]
  stop_bits:
    description: The stop bits of the serial port.
    type: int
    choices: [1, 2]
  report:
    description:
      - Where to write the modem's HTML report after the run. Its folder must exist;
        it is checked before the modem is touched. In check mode no report is written.
      - A new report is readable by its owner only; one that replaces a file keeps that file's mode. A file or
        a symbolic link that another user put in a folder anyone may write (such as /tmp) is never written
        through; the task fails and names it.
    type: path
notes:
  - Supports check mode (C(kelvane-cli apply --check)) and diff mode (each
    changed field before and after in the words of the configuration pages,
    with its tab, its caption and its value as the page shows it; passwords
    are shown as asterisks, C(******** (differs)) when both sides hold a
    password and they differ).
"""

EXAMPLES = r"""
- name: Pumping stations hold the reviewed profile
  kelvane.modems.profile:
    port: /dev/ttyUSB0
    profile: /etc/kelvane/station.dat
    report: /var/lib/kelvane/reports/station.htm

- name: The far modem of the reservoir, through the local one
  kelvane.modems.profile:
    port: /dev/ttyUSB1
    baud: 9600
    remote_number: "0401234567"
    password_file: /etc/kelvane/reservoir.pw
    profile: /etc/kelvane/reservoir.dat
    sections: [basic, dial, callback]

- name: The same with the password from a vault
  kelvane.modems.profile:
    port: /dev/ttyUSB1
    remote_number: "0401234567"
    password: "{{ vault_reservoir_password }}"
    profile: /etc/kelvane/reservoir.dat
"""

RETURN = r"""
changed:
  description:
    - Whether the modem's settings were changed (in check mode, whether they would be),
      also when the task then failed (a failed store, a read-back that differs, a report not written).
  returned: always
  type: bool
fields:
  description: The fields that were written (or would be), named as kelvane-cli show names them.
  returned: always
  type: list
  elements: str
  sample: ["BasicSettings.S0", "DialSettings.StoredNumbers[1]"]
skipped:
  description: Fields that differ but were not written over the remote link.
  returned: always
  type: list
  elements: str
model:
  description: The model of the modem.
  returned: when the modem was identified
  type: str
  sample: RM-40 485
type:
  description: The model type (1 to 4).
  returned: when the modem was identified
  type: int
result:
  description: What kelvane-cli apply reported, C(unchanged), C(changed), C(would-change), C(partial) (differences left alone over the remote link) or C(failed).
  returned: always
  type: str
report:
  description: The path of the HTML report, when one was written.
  returned: when I(report) was given
  type: str
"""

import errno
import json
import os
import re
import shutil
import stat
import tempfile

from ansible.module_utils.basic import AnsibleModule


DIAL_NUMBER = re.compile(r"^[0-9 *#+,\-()/PTWptw]{1,40}$")


def dial_number(module):
    """The remote number as given, refused unless it is a string of dial characters."""
    number = module.params["remote_number"]
    if number is None:
        return None
    if not isinstance(number, str) or not DIAL_NUMBER.match(number) or not any(c.isdigit() for c in number):
        module.fail_json(msg="remote_number must be a string of digits and the dial characters \" *#+,-()/PTW\", "
                             "got %r: quote it (remote_number: \"0401234567\"), since YAML reads an unquoted number "
                             "with a leading 0 as octal" % (number,))
    return number


def build_command(module, cli, report_dir):
    p = module.params
    command = [cli, "apply", p["profile"], "--port", p["port"], "--json"]
    if p["sections"]:
        command += ["--sections", ",".join(p["sections"])]
    if p["remote_number"]:
        command += ["--remote", dial_number(module)]
        if p["password"] is not None:
            command += ["--password-file", "-"]
        elif p["password_file"]:
            command += ["--password-file", p["password_file"]]
    for option, name in (("baud", "--baud"), ("parity", "--parity"), ("data_bits", "--data"), ("stop_bits", "--stop")):
        if p[option] is not None:
            command += [name, str(p[option])]
    if report_dir:
        command += ["--report-dir", report_dir]
    if module.check_mode:
        command.append("--check")
    return command


def shared_folder(folder):
    """A sticky folder others may write, such as /tmp."""
    return bool(folder.st_mode & stat.S_ISVTX) and bool(folder.st_mode & (stat.S_IWOTH | stat.S_IWGRP))


def planted(st, folder):
    """Owned by neither this user nor the folder's owner, in a shared folder: its owner may have put it there."""
    return st.st_uid != os.geteuid() and shared_folder(folder) and st.st_uid != folder.st_uid


def resolve(path):
    """The file an absolute path names, links on the way followed, and None; or None and the link of another
    user in a shared folder that stands on the way and is not followed."""
    todo = path.split("/")[::-1]
    done = "/"
    links = 0
    while todo:
        part = todo.pop()
        if part in ("", "."):
            continue
        if part == "..":
            done = os.path.dirname(done)
            continue
        step = os.path.join(done, part)
        try:
            st = os.lstat(step)
        except FileNotFoundError:
            if all(p in ("", ".") for p in todo):
                return step, None
            raise
        if stat.S_ISLNK(st.st_mode):
            if planted(st, os.stat(done)):
                return None, step
            links += 1
            if links > 40:
                raise OSError(errno.ELOOP, os.strerror(errno.ELOOP), path)
            target = os.readlink(step)
            if target.startswith("/"):
                done = "/"
            todo.extend(target.split("/")[::-1])
            continue
        done = step
    return done, None


def put_report(source, dest):
    """Puts the report in place as kelvane-cli writes its files: a new file is readable by its owner only, a
    replaced one keeps its mode (and its owner), and a file or link another user put in a shared folder is
    never taken over. Everything happens through the folder's descriptor, so nothing swapped in meanwhile is
    followed. Returns None, or why the report was not written."""
    path, link = resolve(os.path.abspath(dest))
    if link:
        return "%s: a symbolic link of another user in a folder anyone may write; not followed" % link
    name = os.path.basename(path)
    folder_fd = os.open(os.path.dirname(path), os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW)
    try:
        folder = os.fstat(folder_fd)
        try:
            old = os.stat(name, dir_fd=folder_fd, follow_symlinks=False)
        except FileNotFoundError:
            old = None
        if old and not stat.S_ISREG(old.st_mode):
            return "%s: not a regular file" % dest
        if old and planted(old, folder):
            return "%s: a file of another user in a folder anyone may write; not taken over" % dest
        temp = ".%s.%d" % (name, os.getpid())
        fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o600, dir_fd=folder_fd)
        try:
            with open(source, "rb") as f:
                data = f.read()
            while data:
                data = data[os.write(fd, data):]
            if old:
                mode = stat.S_IMODE(old.st_mode)
                if old.st_uid != os.geteuid():
                    try:
                        os.fchown(fd, old.st_uid, old.st_gid)
                    except OSError:
                        mode &= 0o700
                os.fchmod(fd, mode)
            os.fsync(fd)
        except BaseException:
            os.unlink(temp, dir_fd=folder_fd)
            raise
        finally:
            os.close(fd)
        os.rename(temp, name, src_dir_fd=folder_fd, dst_dir_fd=folder_fd)
    finally:
        os.close(folder_fd)
    return None


def diff_of(changes):
    """Each changed field as its page shows it: "Basic: Rings to Auto-Answer [S0]: 2"."""
    before = "".join("%s: %s: %s\n" % (c["page"], c["caption"], c["before"]) for c in changes)
    after = "".join("%s: %s: %s\n" % (c["page"], c["caption"], c["after"]) for c in changes)
    return {"before": before, "after": after, "before_header": "modem", "after_header": "profile"}


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type="str", required=True),
            profile=dict(type="path", required=True),
            sections=dict(type="list", elements="str"),
            remote_number=dict(type="raw"),
            password=dict(type="str", no_log=True),
            password_file=dict(type="path", no_log=False),
            baud=dict(type="int", choices=[300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200]),
            parity=dict(type="str", choices=["None", "Odd", "Even"]),
            data_bits=dict(type="int", choices=[7, 8]),
            stop_bits=dict(type="int", choices=[1, 2]),
            report=dict(type="path"),
        ),
        required_by={"password_file": "remote_number", "password": "remote_number"},
        mutually_exclusive=[("password", "password_file")],
        supports_check_mode=True,
    )
    cli = module.get_bin_path("kelvane-cli", required=True)
    dial_number(module)
    report = module.params["report"]
    if report and not os.path.isdir(os.path.dirname(os.path.abspath(report))):
        module.fail_json(msg="The folder of the report %s does not exist." % report)
    # Check mode writes no file on the managed host.
    if module.check_mode:
        report = None
    report_dir = tempfile.mkdtemp(prefix="kelvane-report-") if report else None
    try:
        # The password goes on standard input: arguments and environment
        # show in process listings and in the task's verbose output.
        password = module.params["password"]
        rc, out, err = module.run_command(build_command(module, cli, report_dir), data=password)
        try:
            targets = json.loads(out)
            target = targets[0]
        except (ValueError, IndexError, KeyError, TypeError):
            # A usage error or a profile the tool refused: its own words.
            module.fail_json(msg=err.strip() or "kelvane-cli apply failed (exit %d)" % rc, rc=rc, stderr=err)

        result = dict(
            changed=bool(target.get("written")) or target["result"] in ("changed", "would-change"),
            result=target["result"],
            fields=target["fields"],
            skipped=target["skipped"],
        )
        if target.get("model"):
            result["model"] = target["model"]
            result["type"] = target["type"]
        if module._diff and target.get("changes"):
            result["diff"] = diff_of(target["changes"])
        if target["skipped"]:
            module.warn("Not written over the remote link (name serial or remote in sections to write them): "
                        + ", ".join(target["skipped"]))
        if report and target.get("report"):
            try:
                problem = put_report(target["report"], report)
            except OSError as e:
                problem = "%s: %s" % (e.filename or report, e.strerror)
            if problem:
                module.fail_json(msg="The report %s was not written: %s" % (report, problem), rc=rc, **result)
            result["report"] = report
        if target["result"] == "failed":
            module.fail_json(msg=target["error"] or "kelvane-cli apply failed", rc=rc, **result)
        module.exit_json(**result)
    finally:
        if report_dir:
            shutil.rmtree(report_dir, ignore_errors=True)


if __name__ == "__main__":
    main()
