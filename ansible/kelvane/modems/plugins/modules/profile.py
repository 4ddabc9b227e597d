# -*- coding: utf-8 -*-
# The module runs kelvane-cli apply on the managed host: the tool does the
# work (identify, read, compare, write what differs, AT&W, read back); this
# file only turns its JSON into Ansible's result.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: profile
short_description: Bring a Dalmarin modem to a profile, with values of its own
description:
  - Runs C(kelvane-cli apply --json) on the managed host for one modem on a
    serial port, or for the modem that a local one dials.
  - The modem's sections are read and compared with the profile field by
    field; only the sections that differ are written, stored with C(AT&W),
    read back and compared again. A modem that holds the profile is only read.
  - I(settings) gives the modem values of its own on top of the profile
    (its numbers, identification texts, passwords), so that one base profile
    serves a fleet.
  - Over a remote link the serial and remote sections are compared but
    written only when I(sections) names them; the fields left alone are
    returned in C(left_alone) and given as a warning.
version_added: "2.9.0"
author: Dalmarin
extends_documentation_fragment:
  - kelvane.modems.connection
  - kelvane.modems.connection.remote
  - kelvane.modems.connection.pool
  - action_common_attributes
  - action_common_attributes.flow
  - action_common_attributes.actiongroups
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
    details: Each changed field before and after in the words of the configuration pages; passwords masked.
  platform:
    platforms: posix
  action_group:
    support: full
    membership: [kelvane.modems.modems]
  action:
    support: none
  async:
    support: none
  bypass_host_loop:
    support: none
options:
  profile:
    description: The profile file (C(.dat)) on the managed host.
    type: path
    required: true
  settings:
    description:
      - Values of this modem's own, as C(kelvane-cli set) takes them (C(kelvane-cli fields) lists
        the fields and their values), such as C(BasicSettings.S0) or C(DialSettings.StoredNumbers[1]).
        They win over the profile's values and are checked by the rules of C(set) before the modem
        is touched.
      - Each value reaches C(kelvane-cli) in a file only the user may read, never in its arguments
        or its environment. The values of password fields are masked in the task's result, its
        diff and its C(-vvv) output; keep them in a vault.
    type: dict
  sections:
    description:
      - The sections to compare and write.
      - Default every section the model has that a write changes.
    type: list
    elements: str
    choices: [basic, serial, dial, callerid, remote, callback, io, all]
  report:
    description:
      - Where to write the modem's HTML report after the run. Its folder must exist;
        it is checked before the modem is touched. In check mode no report is written.
      - A new report is readable by its owner only; one that replaces a file keeps that file's mode. A file or
        a symbolic link that another user put in a folder anyone may write (such as /tmp) is never written
        through; the task fails and names it.
    type: path
  backup:
    description:
      - Before the modem is written, save its settings as read into a profile file beside
        in I(backup_dir), readable by its owner only; the name carries the target and the time.
        Returned in C(backup_file). Nothing is saved when nothing is written (also in check mode).
    type: bool
    default: false
  backup_dir:
    description: Where I(backup) saves the profile files; made (for its owner only) when missing.
    type: path
    default: ~/.kelvane/backups
notes:
  - Diff mode shows each changed field before and after in the words of the configuration pages,
    with its tab, its caption and its value as the page shows it; an empty value shows as
    the text "(empty)", a password as asterisks, and a password set on both sides that differs as
    the text "******** (differs)". The headers name the target.
  - A run that wrote the modem reports C(changed), also when differences were left alone over a
    remote link or when the task then failed.
seealso:
  - module: kelvane.modems.info
  - module: kelvane.modems.firmware
"""

EXAMPLES = r"""
- name: Pumping stations hold the reviewed profile
  kelvane.modems.profile:
    port: /dev/ttyUSB0
    profile: /etc/kelvane/station.dat
    report: /var/lib/kelvane/reports/station.htm

- name: One base profile, this station's own number and password
  kelvane.modems.profile:
    port: /dev/ttyUSB0
    profile: /etc/kelvane/station.dat
    settings:
      DialSettings.StoredNumbers[1]: "{{ station_alarm_number }}"
      RemoteSettings.RemotePassword: "{{ vault_station_password }}"
    backup: true

- name: The far modem of the reservoir, through whichever local modem is free
  kelvane.modems.profile:
    dialout_ports: [/dev/ttyUSB1, /dev/ttyUSB2]
    baud: 9600
    remote_number: "0401234567"
    password: "{{ vault_reservoir_password }}"
    profile: /etc/kelvane/reservoir.dat
    sections: [basic, dial, callback]
"""

RETURN = r"""
changed:
  description:
    - Whether the modem's settings were changed (in check mode, whether they would be),
      also when differences were left alone and when the task then failed (a failed store,
      a read-back that differs, a report not written).
  returned: always
  type: bool
fields:
  description: The fields that were written (or would be), named as kelvane-cli show names them.
  returned: always
  type: list
  elements: str
  sample: ["BasicSettings.S0", "DialSettings.StoredNumbers[1]"]
left_alone:
  description: Fields that differ but were not written over the remote link.
  returned: always
  type: list
  elements: str
settings:
  description: The modem's own values as given, passwords masked.
  returned: when I(settings) was given
  type: dict
  sample: {"BasicSettings.S0": "2", "RemoteSettings.RemotePassword": "********"}
model:
  description: The model of the modem.
  returned: when the modem was identified
  type: str
  sample: RM-40 485
type:
  description: The model type (1 to 4).
  returned: when the modem was identified
  type: int
port:
  description: The port the modem was reached through (with I(dialout_ports), the one of the pool that was free).
  returned: when the modem was reached
  type: str
result:
  description: What kelvane-cli apply reported, C(unchanged), C(changed), C(would-change), C(partial) (differences left alone over the remote link) or C(failed).
  returned: always
  type: str
report:
  description: The path of the HTML report, when one was written.
  returned: when I(report) was given
  type: str
backup_file:
  description: The profile file the modem's settings were saved to before the write.
  returned: when I(backup) was given and the modem was written
  type: str
  sample: /root/.kelvane/backups/ttyUSB0-5551234_20261208-121500.dat
"""

import errno
import json
import os
import stat

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kelvane.modems.plugins.module_utils.kelvane_cli import (
    REMOTE_RULES, SECTIONS, PrivateFolder, connection_arguments, module_class, port_args, remote_args,
    settings_args, words_value)


def build_command(module, cli, folder):
    p = module.params
    command = [cli, "apply", p["profile"], "--json"] + port_args(module)
    if p["sections"]:
        command += ["--sections", ",".join(p["sections"])]
    remote, password = remote_args(module)
    command += remote
    command += settings_args(module, cli, folder)
    if p["report"] and not module.check_mode:
        command += ["--report-dir", folder.path]
    if p["backup"] and not module.check_mode:
        command += ["--backup-dir", p["backup_dir"]]
    if module.check_mode:
        command.append("--check")
    return command, password


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


def diff_of(target, changes):
    """Each changed field as its page shows it: "Basic: Rings to Auto-Answer [S0]: 2"."""
    before = "".join("%s: %s: %s\n" % (c["page"], c["caption"], words_value(c["before"])) for c in changes)
    after = "".join("%s: %s: %s\n" % (c["page"], c["caption"], words_value(c["after"])) for c in changes)
    return {"before": before, "after": after, "before_header": "%s (the modem)" % target,
            "after_header": "%s (the profile%s)" % (target, " and its own values" if target else "")}


def target_name(module, target):
    p = module.params
    port = target.get("port") or p["port"] or ",".join(p["dialout_ports"] or [])
    return port + ("," + target["remote"] if target.get("remote") else "")


def main():
    arguments = connection_arguments(remote=True, pool=True)
    arguments.update(
        profile=dict(type="path", required=True),
        settings=dict(type="dict"),
        sections=dict(type="list", elements="str", choices=SECTIONS),
        report=dict(type="path"),
        backup=dict(type="bool", default=False),
        backup_dir=dict(type="path", default="~/.kelvane/backups"),
    )
    module = module_class(AnsibleModule)(
        argument_spec=arguments, supports_check_mode=True, required_one_of=[("port", "dialout_ports")],
        **REMOTE_RULES)
    cli = module.get_bin_path("kelvane-cli", required=True)
    p = module.params
    report = p["report"]
    if report and not os.path.isdir(os.path.dirname(os.path.abspath(report))):
        module.fail_json(msg="The folder of the report %s does not exist." % report)
    if p["backup"] and not module.check_mode and not os.path.isdir(p["backup_dir"]):
        try:
            os.makedirs(p["backup_dir"], 0o700)
        except OSError as e:
            module.fail_json(msg="The backup folder %s cannot be made: %s" % (p["backup_dir"], e))
    folder = PrivateFolder("kelvane-profile-")
    try:
        command, password = build_command(module, cli, folder)
        rc, out, err = module.run_command(command, data=password)
        try:
            targets = json.loads(out)
            target = targets[0]
        except (ValueError, IndexError, KeyError, TypeError):
            # A usage error or a profile the tool refused: its own words.
            module.fail_json(msg=err.strip() or "kelvane-cli apply failed (exit %d)" % rc, rc=rc, stderr=err)

        name = target_name(module, target)
        result = dict(
            changed=bool(target.get("written")) or target["result"] in ("changed", "would-change"),
            result=target["result"],
            fields=target["fields"],
            left_alone=target["skipped"],
        )
        if target.get("settings"):
            result["settings"] = target["settings"]
        if target.get("port"):
            result["port"] = target["port"]
        if target.get("model"):
            result["model"] = target["model"]
            result["type"] = target["type"]
        if module._diff and target.get("changes"):
            result["diff"] = diff_of(name, target["changes"])
        if target["skipped"]:
            module.warn("Not written over the remote link (name serial or remote in sections to write them): "
                        + ", ".join(target["skipped"]))
        if target.get("backup"):
            result["backup_file"] = target["backup"]
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
        folder.remove()


if __name__ == "__main__":
    main()
