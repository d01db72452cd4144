#!/usr/bin/env python3
"""Following a results file that a running process writes, with real
processes: each way following ends (--pid of the run's own child and of
another process, --idle, SIGINT, SIGTERM, SIGHUP) leaves what a run
without --follow over the finished file leaves, the one JSON member
"followed" aside; a file that appears late, or not before following ends;
a last line without its end; a file cut or replaced; a FIFO; the table
line of each fit on the screen before the next fit is written, BEST.OUT
holding the best complete section so far and the documents readable with
the fits so far while the run goes on; a signal at the final prompt.

    follow_test.py WEXLA SAMPLE_RESULTS_FILE TEST_FITTER

No assertion waits on a clock: the writer waits for what the run shows,
within a generous bound for the whole case.
"""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

WEXLA = os.path.abspath(sys.argv[1])
SAMPLE = os.path.abspath(sys.argv[2])
FITTER = os.path.abspath(sys.argv[3])
DOCS = ["--json=w.json", "--csv=w.csv", "--html=w.html", "--svg=w.svg"]
BOUND = 60  # seconds a case may take at most
faults = []


def fault(text):
    faults.append(text)
    print("FAULT: " + text)


def folder(root, name):
    path = os.path.join(root, name)
    os.makedirs(os.path.join(path, "bin"))
    with open(os.path.join(path, "bin", "bbedit"), "w") as f:
        f.write("#!/bin/sh\nexit 0\n")
    os.chmod(os.path.join(path, "bin", "bbedit"), 0o755)
    return path


def env_for(path):
    return dict(os.environ, PATH=os.path.join(path, "bin") + os.pathsep + os.environ["PATH"])


def left_behind(path, screen, status):
    """What a run leaves: screen, status, files, documents (without the
    member that says how following ended)."""
    got = {"screen": screen, "status": status}
    for name in ["BEST.OUT", "WexlaP.OUT", "w.json", "w.csv", "w.html", "w.svg"]:
        p = os.path.join(path, name)
        got[name] = open(p, "rb").read() if os.path.exists(p) else None
    if got["w.json"] is not None:
        got["w.json"] = re.sub(rb'  "followed": [^\n]*\n', b"", got["w.json"])
    return got


def plain_outputs(root, name, content, args):
    """A run without --follow over the finished file."""
    path = folder(root, name + "-plain")
    with open(os.path.join(path, "run.OUT"), "wb") as f:
        f.write(content)
    r = subprocess.run([WEXLA] + args, cwd=path, env=env_for(path), input=b"\n",
                       capture_output=True, timeout=BOUND)
    return left_behind(path, r.stdout, r.returncode)


def compare(label, followed, plain):
    for key in plain:
        if followed[key] != plain[key]:
            fault("%s: %s differs from a run over the finished file:\n%r\nagainst\n%r" % (
                label, key, (followed[key] or b"")[-300:] if key != "status" else followed[key],
                (plain[key] or b"")[-300:] if key != "status" else plain[key]))


def followed_member(path):
    return json.load(open(os.path.join(path, "w.json"), encoding="utf-8")).get("followed", "absent")


def fitter(path, *args):
    """The test fitter, reaped by a thread of its own as soon as it ends:
    until its parent reaps it, an ended process still answers kill(2)."""
    writer = subprocess.Popen([sys.executable, FITTER, os.path.join(path, "run.OUT")] +
                              list(args), cwd=path)
    threading.Thread(target=writer.wait, daemon=True).start()
    return writer


def case_pid_of_own_child(root):
    """`fitter & exec wexla --pid=$!`: the run reaps its own child."""
    path = folder(root, "own-child")
    script = ('"$1" "$2" run.OUT --from "$3" --every 0.05 --late 0.3 --pieces --seed 3 & '
              'exec "$4" --batch --follow --pid=$! ' + " ".join(DOCS) + " run 5")
    r = subprocess.run(["sh", "-c", script, "sh", sys.executable, FITTER, SAMPLE, WEXLA], cwd=path,
                       env=env_for(path), stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=BOUND)
    content = open(os.path.join(path, "run.OUT"), "rb").read()
    compare("own child", left_behind(path, r.stdout, r.returncode),
            plain_outputs(root, "own-child", content, ["--batch"] + DOCS + ["run", "5"]))
    if followed_member(path) != "pid":
        fault("own child: followed %r" % followed_member(path))


def case_pid_of_another(root):
    path = folder(root, "another")
    writer = fitter(path, "--from", SAMPLE, "--every", "0.05", "--late", "0.2", "--pieces",
                    "--seed", "4")
    r = subprocess.run([WEXLA, "--follow", "--pid=%d" % writer.pid] + DOCS + ["run", "5"],
                       cwd=path, env=env_for(path), input=b"\n", capture_output=True,
                       timeout=BOUND)
    writer.wait()
    content = open(os.path.join(path, "run.OUT"), "rb").read()
    # A run with a person: the editor and the final prompt after it.
    compare("another process", left_behind(path, r.stdout, r.returncode),
            plain_outputs(root, "another", content, DOCS + ["run", "5"]))
    if followed_member(path) != "pid":
        fault("another process: followed %r" % followed_member(path))


def case_idle(root):
    path = folder(root, "idle")
    writer = fitter(path, "--sections", "5", "--every", "0.1", "--late", "0.1", "--seed", "5")
    r = subprocess.run([WEXLA, "--batch", "--follow", "--idle=1"] + DOCS + ["run", "5"],
                       cwd=path, env=env_for(path), stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=BOUND)
    writer.wait()
    content = open(os.path.join(path, "run.OUT"), "rb").read()
    compare("idle", left_behind(path, r.stdout, r.returncode),
            plain_outputs(root, "idle", content, ["--batch"] + DOCS + ["run", "5"]))
    if followed_member(path) != "idle":
        fault("idle: followed %r" % followed_member(path))


def wait_for_screen(run, screen, pattern, deadline):
    """Reads the run's screen (a pipe) until `pattern` is in it."""
    while re.search(pattern, screen[0]) is None:
        if time.monotonic() > deadline:
            return False
        line = run.stdout.readline()
        if not line:
            return re.search(pattern, screen[0]) is not None
        screen[0] += line
    return True


def case_signal(root, signum):
    name = signal.Signals(signum).name
    path = folder(root, name)
    with open(SAMPLE, "rb") as f:
        content = f.read()
    with open(os.path.join(path, "run.OUT"), "wb") as f:
        f.write(content)
    run = subprocess.Popen([WEXLA, "--batch", "--follow"] + DOCS + ["run", "5"], cwd=path,
                           env=env_for(path), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    screen = [b""]
    if not wait_for_screen(run, screen, rb"The WSS\( 12", time.monotonic() + BOUND):
        fault("%s: the table never showed fit 12" % name)
    run.send_signal(signum)
    out, err = run.communicate(timeout=BOUND)
    compare(name, left_behind(path, screen[0] + out, run.returncode),
            plain_outputs(root, name, content, ["--batch"] + DOCS + ["run", "5"]))
    if err or followed_member(path) != "signal":
        fault("%s: followed %r, standard error %r" % (name, followed_member(path), err))


def case_late_file_never_comes(root):
    path = folder(root, "never")
    gone = subprocess.Popen(["sleep", "0.3"])
    threading.Thread(target=gone.wait, daemon=True).start()
    r = subprocess.run([WEXLA, "--batch", "--follow", "--pid=%d" % gone.pid, "run", "5"],
                       cwd=path, env=env_for(path), stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=BOUND)
    gone.wait()
    if r.returncode != 66 or r.stderr != b"wexla: the results file 'run.OUT' does not exist\n":
        fault("a file that never comes: %d %r" % (r.returncode, r.stderr))
    # With a person: the message and the prompt, as without --follow.
    with open(SAMPLE, "rb") as f:
        open(os.path.join(path, "other.OUT"), "wb").write(f.read())
    gone = subprocess.Popen(["sleep", "0.3"])
    threading.Thread(target=gone.wait, daemon=True).start()
    r = subprocess.run([WEXLA, "--follow", "--pid=%d" % gone.pid, "run", "5"], cwd=path,
                       env=env_for(path), input=b"other\n5\n\n", capture_output=True,
                       timeout=BOUND)
    gone.wait()
    if (r.returncode != 0 or b"This .OUT file (run.OUT) does not exist in this directory"
            not in r.stdout or b"The WSS( 12" not in r.stdout):
        fault("a file that never comes, with a person: %d %r" % (r.returncode, r.stdout[-400:]))


def case_last_line_without_end(root):
    path = folder(root, "last-line")
    with open(SAMPLE, "rb") as f:
        content = f.read().rstrip(b"\n") + b"\n 1 FINAL OUTPUT FROM Kalvor, cut"
    source = os.path.join(root, "last-line.source")
    open(source, "wb").write(content)
    writer = fitter(path, "--from", source, "--every", "0.05", "--late", "0", "--pieces")
    r = subprocess.run([WEXLA, "--batch", "--follow", "--pid=%d" % writer.pid] + DOCS +
                       ["run", "5"], cwd=path, env=env_for(path), stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=BOUND)
    writer.wait()
    compare("a last line without its end", left_behind(path, r.stdout, r.returncode),
            plain_outputs(root, "last-line", content, ["--batch"] + DOCS + ["run", "5"]))


def case_changed(root, how):
    path = folder(root, how)
    with open(SAMPLE, "rb") as f:
        content = f.read()
    results = os.path.join(path, "run.OUT")
    open(results, "wb").write(content)
    run = subprocess.Popen([WEXLA, "--batch", "--follow", "--json=w.json", "run", "5"], cwd=path,
                           env=env_for(path), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    screen = [b""]
    wait_for_screen(run, screen, rb"The WSS\( 12", time.monotonic() + BOUND)
    if how == "cut":
        os.truncate(results, 1000)
    else:
        open(results + ".new", "wb").write(content)
        os.replace(results + ".new", results)
    out, err = run.communicate(timeout=BOUND)
    document = json.load(open(os.path.join(path, "w.json"), encoding="utf-8"))
    if (run.returncode != 2 or err != b"wexla: the results file was cut while it was read\n"
            or document["outcome"] != "failed" or document["followed"] is not None):
        fault("a file %s: %d %r %r" % (how, run.returncode, err, document.get("outcome")))


def case_fifo(root):
    path = folder(root, "fifo")
    os.mkfifo(os.path.join(path, "run.OUT"))
    with open(SAMPLE, "rb") as f:
        content = f.read()
    run = subprocess.Popen([WEXLA, "--batch", "--follow"] + DOCS + ["run", "5"], cwd=path,
                           env=env_for(path), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    with open(os.path.join(path, "run.OUT"), "wb") as f:
        f.write(content)
    out, err = run.communicate(timeout=BOUND)
    compare("a FIFO", left_behind(path, out, run.returncode),
            plain_outputs(root, "fifo", content, ["--batch"] + DOCS + ["run", "5"]))


def case_device(root):
    """A device is refused with --follow, with a person too, as in a
    batch run: it would be read for ever."""
    path = folder(root, "device")
    os.symlink("/dev/zero", os.path.join(path, "dev.OUT"))
    r = subprocess.run([WEXLA, "--follow", "--idle=1", "dev", "5"], cwd=path, env=env_for(path),
                       input=b"\n", capture_output=True, timeout=BOUND)
    if r.returncode != 2 or b"it is a device, not a results file" not in r.stderr:
        fault("a device: status %d, %r" % (r.returncode, r.stderr[-300:]))


def records(section):
    """A section as BEST.OUT holds it: 80-character lines."""
    lines = section.split(b"\n")[:-1]
    return b"".join(l[:80].ljust(80) + b"\n" for l in lines)


def case_fit_by_fit(root):
    """The writer writes fit k + 1 only once fit k's table line is on the
    screen; between pieces BEST.OUT holds the best complete section so far
    and the JSON document reads back with the fits so far."""
    sys.path.insert(0, os.path.dirname(FITTER))
    import test_fitter
    path = folder(root, "fit-by-fit")
    results = os.path.join(path, "run.OUT")
    wss = [900.0, 950.0, 870.5, 880.25, 860.0, 990.0, 850.125, 855.0]
    sections = [test_fitter.section(w, k + 1) for k, w in enumerate(wss)]
    holder = subprocess.Popen(["sleep", "600"])
    threading.Thread(target=holder.wait, daemon=True).start()
    deadline = time.monotonic() + BOUND
    out = open(results, "wb")
    run = subprocess.Popen([WEXLA, "--batch", "--follow", "--pid=%d" % holder.pid] + DOCS +
                           ["run", "5"], cwd=path, env=env_for(path), stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    screen = [b""]
    for k, part in enumerate(sections):
        out.write(part)
        out.flush()
        if not wait_for_screen(run, screen, rb"The WSS\(%3d" % (k + 1), deadline):
            fault("fit by fit: fit %d never shown" % (k + 1))
            break
        # The sections before this one are complete: the best of them is in
        # BEST.OUT (none before the second fit's header).
        if k > 0:
            best = min(range(k), key=lambda j: wss[j])
            got = open(os.path.join(path, "BEST.OUT"), "rb").read()
            if got != records(sections[best]):
                fault("fit by fit: after fit %d BEST.OUT is not section %d" % (k + 1, best + 1))
        # The document catches up within its second.
        seen = False
        while not seen and time.monotonic() < deadline:
            try:
                document = json.load(open(os.path.join(path, "w.json"), encoding="utf-8"))
            except FileNotFoundError:  # not written yet: the run has not waited yet
                time.sleep(0.05)
                continue
            except (OSError, ValueError) as e:
                fault("fit by fit: the JSON document does not read while the run goes on: %s" % e)
                break
            if len(document["fits"]) == k + 1:
                best_wss = min(wss[:k + 1])
                within = sum(1 for w in wss[:k + 1] if w < best_wss * 1.05)
                if (document["outcome"], document["status"], document["followed"],
                        document["within_percent"]) != ("following", None, None, within):
                    fault("fit by fit: the document while following: %r" % (
                        {m: document[m] for m in ("outcome", "status", "followed",
                                                  "within_percent")},))
                seen = True
                continue
            time.sleep(0.05)
        if not seen:
            fault("fit by fit: the document never held fit %d" % (k + 1))
    out.close()
    holder.kill()
    rest, err = run.communicate(timeout=BOUND)
    content = open(results, "rb").read()
    compare("fit by fit", left_behind(path, screen[0] + rest, run.returncode),
            plain_outputs(root, "fit-by-fit", content, ["--batch"] + DOCS + ["run", "5"]))


def write_and_wait(run, screen, out, part, pattern, deadline):
    out.write(part)
    out.flush()
    return wait_for_screen(run, screen, pattern, deadline)


def wait_for_file(path, deadline):
    while not os.path.exists(path) and time.monotonic() < deadline:
        time.sleep(0.05)
    return os.path.exists(path)


def case_rewrite_fails_once(root):
    """A rewrite that fails while following is said once and leaves the
    status alone; the last write is the one that counts."""
    sys.path.insert(0, os.path.dirname(FITTER))
    import test_fitter
    path = folder(root, "rewrite-fails")
    os.makedirs(os.path.join(path, "docs"))
    holder = subprocess.Popen(["sleep", "600"])
    threading.Thread(target=holder.wait, daemon=True).start()
    deadline = time.monotonic() + BOUND
    out = open(os.path.join(path, "run.OUT"), "wb")
    run = subprocess.Popen([WEXLA, "--batch", "--follow", "--pid=%d" % holder.pid,
                            "--json=docs/w.json", "run", "5"], cwd=path, env=env_for(path),
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    screen = [b""]
    write_and_wait(run, screen, out, test_fitter.section(900.0, 1), rb"The WSS\(  1", deadline)
    wait_for_file(os.path.join(path, "docs", "w.json"), deadline)
    # The folder goes: the next rewrites cannot be made.
    shutil.rmtree(os.path.join(path, "docs"))
    for k in range(2, 5):
        write_and_wait(run, screen, out, test_fitter.section(900.0 - k, k),
                       rb"The WSS\(%3d" % k, deadline)
        time.sleep(1.2)  # a rewrite is due after each fit, at most once a second
    os.makedirs(os.path.join(path, "docs"))
    out.close()
    holder.kill()
    rest, err = run.communicate(timeout=BOUND)
    said = err.count(b"cannot write the JSON document")
    document = json.load(open(os.path.join(path, "docs", "w.json"), encoding="utf-8"))
    if run.returncode != 0 or said != 1 or len(document["fits"]) != 4:
        fault("a rewrite that fails: status %d, said %d times (%r), %d fits in the last" % (
            run.returncode, said, err, len(document["fits"])))


def case_floating_point_flags(root):
    """The count the rewrites make overflows here (a best WSS of 1e29 and a
    window of 1e12 %); a stop after it notes what a run without following
    notes, which made no count."""
    sys.path.insert(0, os.path.dirname(FITTER))
    import test_fitter
    path = folder(root, "fp-flags")
    first = test_fitter.section("1e29", 1)
    stop = b"1 FINAL OUTPUT FROM Kalvor\n\n\n Model and Parameter Definition\n"
    deadline = time.monotonic() + BOUND
    out = open(os.path.join(path, "run.OUT"), "wb")
    run = subprocess.Popen([WEXLA, "--batch", "--follow", "--json=w.json", "run", "1e12"], cwd=path,
                           env=env_for(path), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    screen = [b""]
    write_and_wait(run, screen, out, first, rb"The WSS\(  1", deadline)
    wait_for_file(os.path.join(path, "w.json"), deadline)
    out.write(stop)
    out.close()
    rest, err = run.communicate(timeout=BOUND)
    plain = folder(root, "fp-flags-plain")
    open(os.path.join(plain, "run.OUT"), "wb").write(first + stop)
    p = subprocess.run([WEXLA, "--batch", "--json=w.json", "run", "1e12"], cwd=plain,
                       env=env_for(plain), stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=BOUND)
    if (run.returncode, screen[0] + rest, err) != (p.returncode, p.stdout, p.stderr):
        fault("floating-point flags: %d %r %r, without following %d %r %r" % (
            run.returncode, (screen[0] + rest)[-200:], err, p.returncode, p.stdout[-200:],
            p.stderr))


def case_signal_at_the_final_prompt(root):
    path = folder(root, "final-prompt")
    with open(SAMPLE, "rb") as f:
        open(os.path.join(path, "run.OUT"), "wb").write(f.read())
    run = subprocess.Popen([WEXLA, "--follow", "--idle=1", "run", "5"], cwd=path,
                           env=env_for(path), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    screen = [b""]
    if not wait_for_screen(run, screen, rb"Press return to finish", time.monotonic() + BOUND):
        fault("final prompt: never shown")
    run.send_signal(signal.SIGINT)
    run.communicate(timeout=BOUND)
    if run.returncode != -signal.SIGINT:
        fault("a signal at the final prompt: status %d, want the end by SIGINT" % run.returncode)


def main():
    root = tempfile.mkdtemp(prefix="wexla-follow-")
    cases = [case_pid_of_own_child, case_pid_of_another, case_idle,
             lambda r: case_signal(r, signal.SIGINT), lambda r: case_signal(r, signal.SIGTERM),
             lambda r: case_signal(r, signal.SIGHUP), case_late_file_never_comes,
             case_last_line_without_end, lambda r: case_changed(r, "cut"),
             lambda r: case_changed(r, "replaced"), case_fifo, case_fit_by_fit,
             case_signal_at_the_final_prompt, case_rewrite_fails_once,
             case_floating_point_flags, case_device]
    try:
        for case in cases:
            before = len(faults)
            case(root)
            print("%s: %s" % (getattr(case, "__name__", "case"),
                              "ok" if len(faults) == before else "FAILED"))
    finally:
        shutil.rmtree(root)
    if faults:
        print("%d faults" % len(faults))
        return 1
    print("follow: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
