"""The same step on two threads, and on a dask cluster of two processes
when dask.distributed is installed."""
from pathlib import Path

import numpy as np

import eqcore


def main():
    system = eqcore.load(Path(__file__).parents[1] / "c-h-o-n.dat")
    T = np.linspace(400, 3000, 2000)
    feed = {"CH4": 1, "O2": 2.2, "N2": 8.3}
    threads = system.step(T=T, feed=feed, workers=2)
    print("two threads:", threads)
    try:
        from distributed import Client, LocalCluster
    except ImportError:
        print("dask.distributed is not installed: no cluster run")
        return
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, Client(cluster) as client:
        remote = system.step(T=T, feed=feed, client=client)
        print("cluster:", remote, "largest difference in H:", np.abs(remote["H"] - threads["H"]).max(), "J")


if __name__ == "__main__":  # the cluster's worker processes import this file too
    main()
