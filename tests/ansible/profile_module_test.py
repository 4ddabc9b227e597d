#!/usr/bin/python3
"""The Ansible module kelvane.modems.profile on localhost against two
simulated modems: the first run changes them, the second writes nothing,
check mode changes nothing, a missing modem fails the task with the tool's
message.

    profile_module_test.py CLI MODEMSIM COLLECTIONS_PATH
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

cli, modemsim, collections = (os.path.abspath(a) for a in sys.argv[1:4])
work = tempfile.mkdtemp(prefix="kelvane-ansible-")
# The tool's call markers of this test only: a marker another test left for a
# pseudo-terminal name that comes round again is not this test's call.
os.makedirs(os.path.join(work, "runtime"), mode=0o700)
os.environ["XDG_RUNTIME_DIR"] = os.path.join(work, "runtime")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)


def start_modem(model, *extra):
    sim = subprocess.Popen([modemsim, "--model", str(model), *extra], stdout=subprocess.PIPE, text=True)
    return sim, sim.stdout.readline().strip()


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        print(done.stdout + done.stderr)
    return done.returncode


def sent(log):
    """The commands a traffic log shows going to the modem."""
    try:
        with open(log) as f:
            # Each line ends in the escaped carriage return of the command.
            return [line.split(" TX ", 1)[1].rstrip("\n").removesuffix("\\r") for line in f if " TX " in line]
    except FileNotFoundError:
        return []


modems = [start_modem(3), start_modem(2), start_modem(3, "--drop-on", "AT&W")]
far = subprocess.Popen([modemsim, "--model", "2", "--rate", "9600", "--remote-number", "5551234", "--password",
                        "FarPass21", "--remote-model", "3"], stdout=subprocess.PIPE, text=True)
modems.append((far, far.stdout.readline().strip()))
try:
    ports = [port for _, port in modems[:2]]
    dropping = modems[2][1]
    golden, other = os.path.join(work, "golden.dat"), os.path.join(work, "other.dat")
    assert run([cli, "read", "--port", "sim:3", "-o", golden]) == 0
    assert run([cli, "set", golden, "BasicSettings.S0=5", "DialSettings.StoredNumbers[1]=5550100"]) == 0
    shutil.copy(golden, other)
    assert run([cli, "set", other, "BasicSettings.S0=6"]) == 0

    # kelvane-cli as the module finds it on PATH, keeping a traffic log of
    # every run that names one.
    bin_dir = os.path.join(work, "bin")
    os.mkdir(bin_dir)
    wrapper = os.path.join(bin_dir, "kelvane-cli")
    with open(wrapper, "w") as f:
        f.write('#!/bin/sh\nexec "%s" "$@" ${KELVANE_TEST_LOG:+--log "$KELVANE_TEST_LOG"}\n' % cli)
    os.chmod(wrapper, 0o755)

    def log(name, i):
        return os.path.join(work, "%s-%d.log" % (name, i))

    results = os.path.join(work, "results.json")
    playbook = os.path.join(work, "playbook.yml")
    tasks = []
    second_defaults = ("  module_defaults:\n    group/kelvane.modems.modems:\n      parity: none\n"
                       "      baud: 115200\n")
    for name, extra in (("first", ""), ("second", second_defaults), ("check", "  check_mode: true\n  diff: true\n")):
        profile = other if name == "check" else golden
        for i, port in enumerate(ports):
            tasks.append(
                "- name: %s run on modem %d\n"
                "  kelvane.modems.profile:\n    port: %s\n    profile: %s\n"
                "    report: %s\n"
                "  environment:\n    KELVANE_TEST_LOG: %s\n"
                "  register: %s_%d\n%s"
                % (name, i, port, profile, os.path.join(work, "%s-%d.htm" % (name, i)), log(name, i), name, i, extra)
            )
    # A far modem whose login password is given to the module, and a profile
    # that differs from it in a callback password: neither shows anywhere.
    secret = os.path.join(work, "secret.dat")
    shutil.copy(golden, secret)
    assert run([cli, "set", secret, "CallbackSettings.CallbackPasswords[0]=Cb5ecret99"]) == 0
    tasks.append(
        "- name: the far modem\n"
        "  kelvane.modems.profile:\n    port: %s\n    baud: 9600\n    remote_number: \"5551234\"\n"
        "    password: FarPass21\n    profile: %s\n"
        "  environment:\n    KELVANE_TEST_LOG: %s\n"
        "  register: far\n  check_mode: true\n  diff: true\n" % (modems[3][1], secret, log("far", 0))
    )
    # Written where it may be, the remote section left alone: changed, and
    # not "skipping" in the recap.
    partial = os.path.join(work, "partial.dat")
    shutil.copy(golden, partial)
    assert run([cli, "set", partial, "BasicSettings.S0=7"]) == 0
    tasks.append(
        "- name: the far modem, partly\n"
        "  kelvane.modems.profile:\n    port: %s\n    baud: 9600\n    remote_number: \"5551234\"\n"
        "    password: FarPass21\n    profile: %s\n"
        "  register: far_partial\n" % (modems[3][1], partial)
    )
    # An INI inventory line "far1 remote_number=5551234" hands over a number.
    tasks.append(
        "- name: a number from an INI inventory\n"
        "  kelvane.modems.profile:\n    port: %s\n    profile: %s\n    remote_number: \"{{ far_number }}\"\n"
        "  vars:\n    far_number: 5551234\n  register: ini_number\n  ignore_errors: true\n" % (ports[0], golden)
    )
    tasks.append(
        "- name: a modem that is not there\n"
        "  kelvane.modems.profile:\n    port: /dev/nonexistent-kelvane-modem\n    profile: %s\n"
        "  register: missing\n  ignore_errors: true\n" % golden
    )
    # Refused before any modem is touched: a number YAML read as octal, a
    # report folder that is not there.
    tasks.append(
        "- name: an unquoted number\n"
        "  kelvane.modems.profile:\n    port: %s\n    profile: %s\n    remote_number: 0401234567\n"
        "  environment:\n    KELVANE_TEST_LOG: %s\n"
        "  register: octal\n  ignore_errors: true\n" % (ports[0], golden, log("octal", 0))
    )
    tasks.append(
        "- name: no report folder\n"
        "  kelvane.modems.profile:\n    port: %s\n    profile: %s\n    report: %s/none/r.htm\n"
        "  environment:\n    KELVANE_TEST_LOG: %s\n"
        "  register: nofolder\n  ignore_errors: true\n" % (ports[0], golden, work, log("nofolder", 0))
    )
    # A report put where another user planted a file for it, in a folder
    # anyone may write: the task fails and the file stays theirs (root only
    # can plant a file of another user).
    shared = os.path.join(work, "shared")
    os.mkdir(shared)
    os.chmod(shared, 0o1777)
    planted = os.path.join(shared, "planted.htm")
    as_root = os.geteuid() == 0
    if as_root:
        with open(planted, "w") as f:
            f.write("planted")
        os.chown(planted, 65534, 65534)
        os.chmod(planted, 0o666)
    tasks.append(
        "- name: a planted report\n"
        "  kelvane.modems.profile:\n    port: %s\n    profile: %s\n    report: %s\n"
        "  register: planted\n  ignore_errors: true\n" % (ports[0], golden, planted)
    )
    # The line goes away at the store: the settings were changed all the same.
    tasks.append(
        "- name: a store that fails\n"
        "  kelvane.modems.profile:\n    port: %s\n    profile: %s\n"
        "  register: dropped\n  ignore_errors: true\n" % (dropping, golden)
    )
    names = ["%s_%d" % (n, i) for n in ("first", "second", "check") for i in range(2)] + [
        "far", "far_partial", "ini_number", "missing", "octal", "nofolder", "dropped", "planted"]
    tasks.append(
        "- name: keep the results\n  ansible.builtin.copy:\n    dest: %s\n    content: \"{{ {%s} | to_json }}\"\n"
        % (results, ", ".join("'%s': %s" % (n, n) for n in names))
    )
    with open(playbook, "w") as f:
        f.write("- hosts: localhost\n  gather_facts: false\n  tasks:\n")
        f.write("".join("  " + line + "\n" if line else "\n" for task in tasks for line in task.rstrip("\n").split("\n")))

    env = dict(os.environ)
    env.update(
        ANSIBLE_COLLECTIONS_PATH=collections,
        ANSIBLE_LOCAL_TEMP=os.path.join(work, "tmp"),
        ANSIBLE_REMOTE_TEMP=os.path.join(work, "tmp"),
        ANSIBLE_NOCOLOR="1",
        ANSIBLE_RETRY_FILES_ENABLED="0",
        PATH=bin_dir + os.pathsep + env.get("PATH", ""),
    )
    env.pop("ANSIBLE_CONFIG", None)
    play = subprocess.run(
        ["ansible-playbook", "-i", "localhost,", "-c", "local", "-e", "ansible_python_interpreter=/usr/bin/python3",
         "-vvv", playbook],
        env=env, capture_output=True, text=True, cwd=work, timeout=600,
    )
    print(play.stdout[-6000:], play.stderr[-3000:])
    check(play.returncode == 0, "ansible-playbook exit %d" % play.returncode)
    if not os.path.exists(results):
        sys.exit("FAIL: the playbook kept no results")
    with open(results) as f:
        r = json.load(f)

    for i in range(2):
        first, second, dry = r["first_%d" % i], r["second_%d" % i], r["check_%d" % i]
        check(first["changed"] is True, "first run %d changed" % i)
        check(first["fields"] == ["BasicSettings.S0", "DialSettings.StoredNumbers[1]"], "first run %d fields %s" % (i, first["fields"]))
        check(first["model"] == ("RM-40 485" if i == 0 else "RM-40"), "model %d" % i)
        check("AT&W" in sent(log("first", i)), "first run %d stored with AT&W" % i)
        check(os.path.exists(first.get("report", "")), "first run %d report" % i)
        check(os.path.exists(first.get("report", "")) and os.stat(first["report"]).st_mode & 0o777 == 0o600,
              "first run %d report for its owner only" % i)
        check(second["changed"] is False and second["fields"] == [], "second run %d idempotent" % i)
        commands = sent(log("second", i))
        check(commands and not any(c.startswith("AT&W") or c.startswith("ATS0=") for c in commands),
              "second run %d wrote nothing: %s" % (i, commands))
        check(dry["changed"] is True and dry["fields"] == ["BasicSettings.S0"], "check run %d would change" % i)
        check("AT&W" not in sent(log("check", i)), "check run %d wrote nothing" % i)
        check(not os.path.exists(os.path.join(work, "check-%d.htm" % i)), "check run %d wrote no report" % i)
        check(dry.get("diff", {}).get("after") == "Basic: Rings to Auto-Answer [S0]: 6\n"
              and dry["diff"]["before"] == "Basic: Rings to Auto-Answer [S0]: 5\n", "check run %d diff %s" % (i, dry.get("diff")))
        # Check mode left the modem with the first run's profile.
        check(run([cli, "verify", "--port", ports[i], golden]) == 0, "modem %d still holds the profile" % i)

    far = r["far"]
    check(far.get("changed") is True and "CallbackSettings.CallbackPasswords[0]" in far.get("fields", []),
          "the far modem would change: %s" % far)
    check("Callback: Callback table [*wcbtab] 1: Password: ********" in far.get("diff", {}).get("after", ""),
          "the changed password is in the diff, masked: %s" % far.get("diff"))
    with open(log("far", 0)) as f:
        far_log = f.read()
    check("TX ********" in far_log, "the login's password masked in the traffic log")
    for what, text in (("the play's output", play.stdout + play.stderr), ("the results", json.dumps(r)),
                       ("the traffic log", far_log)):
        for word in ("FarPass21", "Cb5ecret99"):
            check(word not in text, "%s shows %s" % (what, word))

    partly = r["far_partial"]
    check(partly.get("changed") is True and partly.get("result") == "partial"
          and "RemoteSettings.RemoteEnable" in partly.get("left_alone", []) and "skipped" not in partly,
          "a far modem written in part: %s" % partly)
    recap = play.stdout[play.stdout.rfind("PLAY RECAP"):]
    check(" skipped=0 " in recap, "nothing shows as skipped in the recap: %s" % recap)
    ini = r["ini_number"]
    check(ini.get("failed") is True and "INI inventory" in ini.get("msg", "") and "'\"0401234567\"'" in ini.get("msg", ""),
          "a number from INI: %r" % ini.get("msg"))

    missing = r["missing"]
    check(missing.get("failed") is True, "the missing modem fails the task")
    check(missing.get("msg", "").startswith("Unable to open COM-port... /dev/nonexistent-kelvane-modem"),
          "the tool's message: %r" % missing.get("msg"))
    octal = r["octal"]
    check(octal.get("failed") is True and "quote it" in octal.get("msg", ""), "octal number: %r" % octal.get("msg"))
    nofolder = r["nofolder"]
    check(nofolder.get("failed") is True and "does not exist" in nofolder.get("msg", ""),
          "no report folder: %r" % nofolder.get("msg"))
    check(sent(log("octal", 0)) == [] and sent(log("nofolder", 0)) == [], "a refused task touched the modem")
    dropped = r["dropped"]
    check(dropped.get("failed") is True and dropped.get("changed") is True, "failed store: %r" % dropped)
    check(dropped.get("msg", "").count("Modem disconnected during process!") == 1, "said once: %r" % dropped.get("msg"))
    planted_result = r["planted"]
    if as_root:
        st = os.stat(planted)
        with open(planted) as f:
            kept = f.read()
        check(planted_result.get("failed") is True and "not taken over" in planted_result.get("msg", ""),
              "a planted report: %r" % planted_result.get("msg"))
        check(st.st_uid == 65534 and st.st_mode & 0o777 == 0o666 and kept == "planted",
              "the planted report was taken over: uid %d mode %o %r" % (st.st_uid, st.st_mode & 0o777, kept))
    else:
        # Without a planted file the report is simply new, and the user's.
        check(planted_result.get("failed") is not True and os.stat(planted).st_mode & 0o777 == 0o600,
              "a new report in a shared folder: %r" % planted_result)

    # The checkout itself is a collection path (ansible/ansible_collections/kelvane/modems).
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "ansible")
    for module in ("profile", "info", "firmware"):
        shown = subprocess.run(["ansible-doc", "-t", "module", "kelvane.modems." + module],
                               env=dict(env, ANSIBLE_COLLECTIONS_PATH=source), capture_output=True, text=True)
        check(shown.returncode == 0 and "ATTRIBUTES" in shown.stdout and "REQUIREMENTS" in shown.stdout,
              "ansible-doc %s from the checkout: %s" % (module, shown.stderr[-500:]))
finally:
    for sim, _ in modems:
        sim.terminate()
        sim.wait()
    subprocess.run(["rm", "-rf", work])

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
