# -*- coding: utf-8 -*-
# The module brings a modem to a firmware version: kelvane-cli identify
# --json says what it runs, kelvane-cli flash loads the file, and identify
# again says whether the modem now reports the version asked for.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: firmware
short_description: Bring a Dalmarin modem to a firmware version
description:
  - Asks the modem on a serial port which firmware version it reports (C(kelvane-cli identify --json),
    its C(version)) and does nothing when that is I(version).
  - Otherwise loads the firmware file I(src) into the modem with C(kelvane-cli flash) at 115200 baud,
    identifies the modem again and fails unless it now reports I(version).
  - Flash the modems of a fleet in waves with C(serial:); a modem whose flash fails is left to be
    flashed again.
version_added: "2.10.0"
author: Dalmarin
extends_documentation_fragment:
  - kelvane.modems.connection
  - action_common_attributes
  - action_common_attributes.flow
  - action_common_attributes.actiongroups
attributes:
  check_mode:
    support: full
    details: The modem is identified and the file checked; nothing is loaded.
  diff_mode:
    support: full
    details: The version before and after.
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
  src:
    description: The firmware file (text records) on the managed host.
    type: path
    required: true
  version:
    description:
      - The version the modem reports with this firmware, as C(version) of M(kelvane.modems.info)
        shows it, such as C(SW 3.15).
    type: str
    required: true
  force:
    description: Load the file also when the modem already reports I(version).
    type: bool
    default: false
notes:
  - I(port) is required. Firmware is loaded into a local modem only, not over a remote link.
  - After the flash the modem's serial port may run at 115200 baud; the module identifies it at the
    given line settings, and at 115200 baud when it is not found there.
seealso:
  - module: kelvane.modems.info
  - module: kelvane.modems.profile
"""

EXAMPLES = r"""
- hosts: stations
  serial: 5
  tasks:
    - name: The stations run SW 3.15
      kelvane.modems.firmware:
        port: /dev/ttyUSB0
        src: /srv/firmware/rm40-3.15.s19
        version: SW 3.15
"""

RETURN = r"""
version:
  description: The version the modem reports at the end.
  returned: when the modem was identified
  type: str
  sample: SW 3.15
version_before:
  description: The version the modem reported before.
  returned: when the modem was identified
  type: str
  sample: SW 3.14
model:
  description: The model of the modem.
  returned: when the modem was identified
  type: str
flashed:
  description: Whether the file was loaded.
  returned: always
  type: bool
"""

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kelvane.modems.plugins.module_utils.kelvane_cli import connection_arguments, port_args


def identify(module, cli, connection):
    """What identify --json prints, or None with the tool's message."""
    rc, out, err = module.run_command([cli, "identify", "--json"] + connection)
    if rc != 0:
        return None, err.strip() or "kelvane-cli identify failed (exit %d)" % rc
    try:
        return json.loads(out), None
    except ValueError:
        return None, "kelvane-cli identify printed no JSON"


def with_baud(connection, baud):
    out, skip = [], False
    for arg in connection:
        if skip:
            skip = False
            continue
        if arg == "--baud":
            skip = True
            continue
        out.append(arg)
    return out + ["--baud", baud]


def main():
    arguments = connection_arguments(remote=False, pool=False)
    arguments.update(
        src=dict(type="path", required=True),
        version=dict(type="str", required=True),
        force=dict(type="bool", default=False),
    )
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True)
    cli = module.get_bin_path("kelvane-cli", required=True)
    p = module.params
    if not os.path.isfile(p["src"]):
        module.fail_json(msg="The firmware file %s does not exist." % p["src"], flashed=False)
    connection = port_args(module)
    modem, error = identify(module, cli, connection)
    if modem is None:
        module.fail_json(msg=error, flashed=False)
    before = modem.get("version") or ""
    result = dict(changed=False, flashed=False, model=modem.get("model"), version=before, version_before=before)
    if before == p["version"] and not p["force"]:
        module.exit_json(msg="The modem reports %s already." % before, **result)
    result["changed"] = True
    if module._diff:
        result["diff"] = {"before": "version: %s\n" % before, "after": "version: %s\n" % p["version"],
                          "before_header": "%s (the modem)" % p["port"], "after_header": p["src"]}
    if module.check_mode:
        module.exit_json(msg="Would load %s: the modem reports %r, not %r." % (p["src"], before, p["version"]),
                         **result)

    rc, out, err = module.run_command([cli, "flash", p["src"], "--yes"] + connection)
    result["flashed"] = rc == 0
    if rc != 0:
        module.fail_json(msg=err.strip().splitlines()[-1] if err.strip() else "kelvane-cli flash failed (exit %d)" % rc,
                         stderr=err, rc=rc, **result)
    modem, error = identify(module, cli, connection)
    if modem is None and p["baud"] != 115200:
        modem, error = identify(module, cli, with_baud(connection, "115200"))
    if modem is None:
        module.fail_json(msg="After the flash the modem was not found: %s" % error, **result)
    result["version"] = modem.get("version") or ""
    if result["version"] != p["version"]:
        module.fail_json(msg="After the flash the modem reports %r, not %r." % (result["version"], p["version"]),
                         **result)
    module.exit_json(msg="Loaded %s: the modem reports %s." % (p["src"], result["version"]), **result)


if __name__ == "__main__":
    main()
