"""A dask.distributed cluster of two worker processes on this machine gives
the step and the diagram computed here. The data file travels to each
worker once."""

import numpy as np
import pytest

import eqcore
from conftest import close, example

distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(
        n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None, silence_logs=40
    )
    c = distributed.Client(cluster)
    yield c
    c.close()
    cluster.close()


def test_step_and_diagram_on_a_cluster_equal_serial(client):
    system = eqcore.load(example("c-h-o-n.dat"))
    T = np.linspace(400.0, 3000.0, 120)
    feed = {"CH4": 1.0, "O2": 2.4, "N2": 9.0}
    serial = system.step(T=T, feed=feed, progress=False)
    remote = system.step(T=T, feed=feed, client=client, progress=False)
    assert serial.columns == remote.columns
    for c in serial.columns:
        assert close(serial[c], remote[c], 1e-9, 1e-12 * max(1.0, np.abs(serial[c]).max())), c

    agcu = eqcore.load(example("ag-cu-example.dat"))
    a = agcu.binary_diagram("Ag", "Cu", T=(900.0, 1400.0), x=11, nT=21, progress=False)
    b = agcu.binary_diagram("Ag", "Cu", T=(900.0, 1400.0), x=11, nT=21, client=client, progress=False)
    assert [(p.x, p.below, p.above) for p in a.points] == [(p.x, p.below, p.above) for p in b.points]
    assert np.allclose([p.T for p in a.points], [p.T for p in b.points], rtol=0, atol=1e-6)
    assert abs(b.invariants[0].T - 1053.30) < 0.01

    # The workers loaded the files from the bytes scattered to them, each
    # file once per worker; a second run scatters nothing new.
    loaded = client.run(lambda: [s.source for s in __import__("eqcore.parallel").parallel._worker_systems.values()])
    files = [example("ag-cu-example.dat"), example("c-h-o-n.dat")]
    assert all(len(set(names)) == len(names) and set(names) <= set(files) for names in loaded.values())
    assert set().union(*map(set, loaded.values())) == set(files)
    system.step(T=T[:20], feed=feed, client=client, progress=False)
    assert len(system._scattered) == 1
