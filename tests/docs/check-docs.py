#!/usr/bin/env python3
"""Checks that the documents name only what exists: every link and path they give, and every
name of code, test, target or setting they write in backquotes, in the tracked files of the tree.

    check-docs.py SOURCE_DIR

Reads README.md, docs/*.md and bench/README.md. A path must be a tracked file or folder (paths
under build/ are what a build makes, and are not checked); a bare file name must be some tracked
file's name; a name (PascalCase, camelCase, snake_case, A::B, Suite.Test) must stand as a word in a
tracked file other than a document, or be a test that CMake makes in a loop (show_screen_${...}).
Switches, commands' arguments, values and Windows paths are not names, and are passed over.
Prints each name that is missing, with its document and line; exits 1 when there is one.
"""
import os
import re
import subprocess
import sys

root = sys.argv[1]
tracked = subprocess.run(["git", "-C", root, "ls-files"], capture_output=True, text=True,
                         check=True).stdout.split("\n")
tracked = [t for t in tracked if t]
documents = [t for t in tracked if t == "README.md" or t == "bench/README.md" or
             (t.startswith("docs/") and t.endswith(".md"))]
files = set(tracked)
folders = {os.path.dirname(t) for t in tracked}
for folder in list(folders):
    while folder:
        folders.add(folder)
        folder = os.path.dirname(folder)
names_of_files = {os.path.basename(t) for t in tracked}

# The words of every tracked text file that is not a document.
words = set()
cmake_texts = []
for t in tracked:
    if t.endswith(".md") or t.startswith("jpeg/fuzz/seeds/") or "/regressions/" in t:
        continue
    try:
        with open(os.path.join(root, t), encoding="utf-8") as f:
            text = f.read()
    except (UnicodeDecodeError, OSError):
        continue
    words.update(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", text))
    if t.endswith("CMakeLists.txt") or t.endswith(".cmake"):
        cmake_texts.append(text)
tests = set()
for t in tracked:
    if t.startswith("tests/") and t.endswith(".cpp"):
        with open(os.path.join(root, t), encoding="utf-8") as f:
            for suite, name in re.findall(r"TEST(?:_F)?\(\s*(\w+),\s*(\w+)\)", f.read()):
                tests.add(suite + "." + name)

EXTENSIONS = (".cpp", ".h", ".inl", ".sh", ".md", ".cmake", ".rc", ".in", ".ico", ".bmp", ".png",
              ".tsv", ".txt", ".py", ".json", ".manifest")


def made_in_a_loop(name):
    # show_screen_800x600x24: a CMake line builds show_screen_${...} and lists 800x600x24.
    for i, c in enumerate(name):
        if c == "_":
            prefix, rest = name[:i + 1], name[i + 1:]
            if any(prefix + "${" in text and rest in text for text in cmake_texts):
                return True
    return False


def path_exists(path, document):
    """Whether `path` is tracked: relative to the document's folder for a link, to the top of the
    tree otherwise (document "")."""
    path = os.path.normpath(os.path.join(os.path.dirname(document), path.split("#")[0]))
    return path in ("", ".") or path in files or path in folders


def looks_like_path(token):
    """A tracked top folder, or a file name ending in one of ours: bench/README.md's benchmark
    names (lanternmoor/plain) are no paths."""
    top = token.lstrip("./").split("/")[0]
    return token.rstrip("/").endswith(EXTENSIONS) or top in folders or top in files


def check_name(token):
    """None when the token names something real (or is no name), else what is missing."""
    if re.match(r"^(build/|~|\$|/|-|\.\.\.)", token) or re.search(r"[*\\:<>=,|]", token.replace("::", "")):
        return None
    if re.match(r"^\.\w+$", token) or re.match(r"^[A-Z][A-Z0-9_]*$", token) and "_" not in token:
        return None  # an extension, or a placeholder (FOLDER, HWND)
    if "/" in token:
        return None if not looks_like_path(token) or path_exists(token, "") else token
    if token.endswith(EXTENSIONS) and re.match(r"^[\w.-]+$", token):
        return None if token in names_of_files else token
    if re.match(r"^[A-Z]\w*\.[A-Z]\w*$", token):
        return None if token in tests else token
    name = token[:-2] if token.endswith("()") else token
    if not re.match(r"^[A-Za-z_]\w*((::|\(\)\.|\.)[A-Za-z_]\w*)*$", name):
        return None
    if re.match(r"^[a-z]+$", name):
        return None  # a plain word (a preset, a stage, a label), not a name of code
    for part in re.split(r"::|\(\)\.|\.", name):
        if part not in words and not made_in_a_loop(part):
            return token
    return None


missing = []
for document in documents:
    with open(os.path.join(root, document), encoding="utf-8") as f:
        text = f.read()
    # Code blocks hold commands, not names.
    prose = re.sub(r"^(    |\t).*$", "", text, flags=re.M)
    for link in re.finditer(r"\]\(([^)\s]+)\)", prose):
        target = link.group(1)
        if not re.match(r"^[a-z]+:", target) and not path_exists(target, document):
            missing.append((document, prose[:link.start()].count("\n") + 1, target))
    for span in re.finditer(r"`([^`]+)`", prose):
        line = prose[:span.start()].count("\n") + 1
        tokens = span.group(1).split()
        if len(tokens) > 1:
            # A command: its program and the paths it names.
            candidates = [tokens[0]] if tokens[0].startswith("./") or "/" in tokens[0] else []
            candidates += [t for t in tokens[1:] if "/" in t]
            for token in candidates:
                token = token.rstrip(".,;")
                if re.match(r"^(build/|~|\$|/|-)", token) or re.search(r"[*:\\]", token):
                    continue
                if looks_like_path(token) and not path_exists(token, ""):
                    missing.append((document, line, token))
        elif tokens:
            wrong = check_name(tokens[0].rstrip(".,;"))
            if wrong:
                missing.append((document, line, wrong))

for document, line, name in missing:
    print(f"{document}:{line}: no such path, test or name in the tree: {name}")
sys.exit(1 if missing else 0)
