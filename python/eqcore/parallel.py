"""Running independent blocks of work: in this thread, over threads, or on a
dask.distributed cluster.

Threads: each has its own engine session (System keeps one per thread) and
the compiled core releases the interpreter's lock while the engine works, so
N threads compute N blocks at once. Blocks are handed out in order, so a
thread's next block lies next to its last one and its solver starts warm.

A cluster: the data file's bytes are sent to every worker once (scattered
with broadcast) and each worker process loads the system once and keeps it
for every block that names the same file; eqcore must be importable on the
workers.
"""

import hashlib
import os
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

_worker_systems = {}  # digest of a data file -> System, in a cluster worker

# Thread pools kept from call to call, by size: their threads keep their
# engines (and with them the last solutions to start from) between steps.
_pools = {}
_pools_lock = threading.Lock()
os.register_at_fork(after_in_child=_pools.clear)  # a pool's threads do not survive a fork


def _pool(workers):
    with _pools_lock:
        pool = _pools.get(workers)
        if pool is None:
            pool = _pools[workers] = ThreadPoolExecutor(max_workers=workers, thread_name_prefix="eqcore")
        return pool


class _NoBar:
    def update(self, n=1):
        pass

    def close(self):
        pass


def progress_bar(progress, total, desc):
    """A tqdm bar on an interactive terminal (progress None), always (True) or never (False)."""
    if progress is False or (progress is None and not (hasattr(sys.stderr, "isatty") and sys.stderr.isatty())):
        return _NoBar()
    try:
        from tqdm.auto import tqdm
    except ImportError:
        if progress:
            import warnings

            warnings.warn("progress=True needs the tqdm package; running without a progress bar", stacklevel=3)
        return _NoBar()
    return tqdm(total=total, desc=desc, unit="pt", leave=False)


def check_workers(workers, client):
    """The number of blocks to split work into for `workers` threads or a cluster (1: no split)."""
    if client is not None:
        return 8 * max(1, len(client.scheduler_info()["workers"]))
    if not isinstance(workers, int) or isinstance(workers, bool) or workers < 1:
        raise ValueError(f"workers must be a whole number of at least 1, not {workers!r}")
    return 1 if workers == 1 else 8 * workers


def map_blocks(system, func, blocks, *, workers=1, client=None, progress=None, desc=None, size=len):
    """[func(system, block) for block in blocks], computed as asked; results in block order."""
    check_workers(workers, None if client is None else client)
    bar = progress_bar(progress, sum(size(b) for b in blocks), desc)
    try:
        if client is not None:
            return _on_cluster(client, system, func, blocks, bar, size)
        if workers == 1 or len(blocks) == 1:
            out = []
            for b in blocks:
                out.append(func(system, b))
                bar.update(size(b))
            return out

        def one(b):
            r = func(system, b)
            bar.update(size(b))
            return r

        return list(_pool(workers).map(one, blocks))
    finally:
        bar.close()


def _on_cluster(client, system, func, blocks, bar, size):
    from distributed import as_completed

    data = system.data_bytes()
    digest = hashlib.sha256(data).hexdigest()
    scattered = system._scattered.get(id(client))
    if scattered is None or scattered[0] is not client:
        scattered = system._scattered[id(client)] = (client, client.scatter(data, broadcast=True, hash=False))
    futures = [client.submit(_remote, scattered[1], digest, system.source, func, b, pure=False) for b in blocks]
    sizes = {f.key: size(b) for f, b in zip(futures, blocks)}
    for f in as_completed(futures):
        bar.update(sizes[f.key])
    return client.gather(futures)


def _remote(data, digest, name, func, block):
    """A block on a cluster worker, over the system the worker keeps for this file."""
    system = _worker_systems.get(digest)
    if system is None:
        from . import _core
        from .system import System

        system = _worker_systems[digest] = System(_core.NativeSystem.from_bytes(data, name), name, data=data)
    return func(system, block)
