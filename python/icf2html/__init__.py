"""Conversion of documents held as intermediate code streams into HTML.

The converter keeps all of its state in the process, so the conversions of one
process run one at a time: every call into the library takes the module's lock,
and a second thread waits for the first. Run conversions in parallel with
:func:`convert_batch`, which uses worker processes (or a Dask cluster).

>>> import icf2html
>>> icf2html.convert("report.icf", "report.html")
0
>>> icf2html.identify("report.icf")
Format(code=3, variant=0, name='intermediate code stream')
"""

from __future__ import annotations

import os
import shutil
import tempfile
import threading
from typing import Iterable, NamedTuple, Union

from . import _native
from .batch import BatchError, convert_batch

__all__ = [
    "BatchError",
    "ConversionError",
    "Format",
    "SAFE_OUTPUT_WORD",
    "WARNING",
    "convert",
    "convert_batch",
    "identify",
    "identify_bytes",
]

PathLike = Union[str, "os.PathLike[str]"]

#: The exit code of a conversion that finished with a warning.
WARNING = 1

#: The option word that makes the writer's output safe for documents nobody
#: checked: attribute values escaped, links with dangerous schemes dropped.
SAFE_OUTPUT_WORD = "UNTRUSTED"

# The library refuses an intermediate file name longer than this.
_MAX_INTERMEDIATE_NAME = 124

# Conversions and recognitions share the library's global state.
_lock = threading.Lock()


class ConversionError(Exception):
    """A conversion that failed: ``code`` is the converter's exit code and
    ``meaning`` says it in words."""

    def __init__(self, code: int, meaning: str, source: str = "") -> None:
        super().__init__(f"{source}: {meaning} (code {code})" if source else f"{meaning} (code {code})")
        self.code = code
        self.meaning = meaning


class Format(NamedTuple):
    """A recognised format: the format number (0 when not recognised), its
    variant, and the format in words."""

    code: int
    variant: int
    name: str


def _private_copy(source: str, folder: str) -> str:
    """A name in folder for the same content as source: a hard link where the
    file system allows one, else a copy. The converter removes this name, never
    the source."""
    intermediate = os.path.join(folder, "document.icf")
    if not os.path.isfile(source):
        raise IsADirectoryError(source) if os.path.isdir(source) else FileNotFoundError(source)
    try:
        os.link(source, intermediate)
    except OSError:
        shutil.copyfile(source, intermediate)
    return intermediate


def _state_of(path: str) -> tuple[int, int] | None:
    try:
        info = os.stat(path)
    except OSError:
        return None
    return (info.st_ino, info.st_mtime_ns)


def convert(
    source: PathLike,
    target: PathLike,
    level: str = "5",
    options: Iterable[str] = (),
    safe: bool = True,
) -> int:
    """Converts the intermediate file ``source`` into the HTML file ``target``.

    ``level`` is the level letter (0-5) and its modifier letters; ``options``
    are further option words for the converter; ``safe`` makes the output safe
    for untrusted documents. ``source`` is never removed or changed: the
    converter works on a private copy (a hard link where possible).

    Returns 0, or :data:`WARNING` when the conversion finished with a warning.
    Raises :class:`ConversionError` for every other outcome. Conversions in one
    process run one at a time.
    """
    source_name = os.fspath(source)
    target_name = os.fspath(target)
    words = [str(word) for word in options]
    if safe:
        words.append(SAFE_OUTPUT_WORD)
    words.append("N")  # no progress bar on the caller's standard output
    folder = tempfile.mkdtemp(prefix="icf2html-")
    try:
        try:
            intermediate = _private_copy(source_name, folder)
        except OSError as error:
            raise ConversionError(3, f"{_native.exit_code_meaning(3)}: {error.strerror or error}", source_name) from error
        if len(intermediate) > _MAX_INTERMEDIATE_NAME:
            raise ConversionError(3, _native.exit_code_meaning(3) + ": the temporary folder's name is too long", source_name)
        before = _state_of(target_name)
        with _lock:
            code = _native.convert_intermediate(target_name, intermediate, level, words)
        if code == 0:
            return 0
        # 1 is also "the target cannot be created"; a warning leaves a new target.
        after = _state_of(target_name)
        if code == WARNING and after is not None and after != before:
            return WARNING
        raise ConversionError(code, _native.exit_code_meaning(code), source_name)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def _format(code: int, variant: int, what: str) -> Format:
    if code == -1:
        raise OSError(f"{what}: cannot be opened")
    if code == -2:
        raise OSError(f"{what}: nothing can be read")
    if code == -3:
        raise MemoryError(f"{what}: not enough memory to recognise it")
    return Format(code, variant, _native.format_name(code))


def identify(path: PathLike) -> Format:
    """The format of the file at ``path``, from its first 4096 bytes (and, for a
    compound file, its stream names). Raises :class:`OSError` when the file
    cannot be opened or nothing can be read from it."""
    name = os.fspath(path)
    with _lock:
        code, variant = _native.identify_file(name)
    return _format(code, variant, name)


def identify_bytes(data: bytes | bytearray | memoryview) -> Format:
    """The format of a document's first bytes (4096 are enough). Raises
    :class:`OSError` for no bytes at all."""
    block = bytes(memoryview(data)[:4096])
    with _lock:
        code, variant = _native.identify_block(block)
    return _format(code, variant, "the bytes given")
