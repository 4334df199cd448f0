! A host program written in Fortran that drives the EQLINK plug-in the way
! the Elvar simulator does: it shares the plug-in's blocks as COMMON blocks,
! gets the host's services from the stand-in library, and calls the property
! monitor, flashes (TP and PQ, with and without chemistry) and the
! equilibrium block (types 1 and 3) with its own arrays. Every value the
! plug-in writes into those arrays and into the shared blocks is compared
! with what the C++ host stand-in got for the same calls, and every array is
! guarded against writes past its ends.
!
! Usage: fortran_host REFERENCE EXAMPLES  (the C++ host's values, the
! directory of the example data files). Exit status 0 when all checks hold.
program fortran_host
  use boundary
  use reference_check
  implicit none

  character(len=4096) :: reference, examples

  call get_command_argument(1, reference)
  call get_command_argument(2, examples)
  call open_reference(trim(reference))
  call silver_copper_run()
  call methane_air_run()
  call close_reference()
  if (failures > 0) then
    write(*, '(i0, a)') failures, ' checks failed'
    error stop 1
  end if
  write(*, '(a)') 'Fortran host: all checks hold'

contains

  subroutine require(ierr, what)
    integer(ik), intent(in) :: ierr
    character(len=*), intent(in) :: what
    character(len=200) :: text
    if (ierr == 0) return
    call ELVAR_ERRTXT(text)
    write(*, '(a)') 'FAILED: ' // what // ': ' // trim(text)
    error stop 1
  end subroutine

  ! The data file named the way the host names it: in EQLINK_CONFIG.
  subroutine use_data_file(name)
    character(len=*), intent(in) :: name
    eqlink_filen = trim(examples) // '/' // name
    ldebug = .false.
  end subroutine

  ! A real word of a host block.
  real(rk) function real_word(w)
    integer(ik), intent(in) :: w
    real_word = transfer(w, 1.0_rk)
  end function

  ! ---------------------------------------------------------------------
  ! Ag-Cu: four components (liquid and solid silver and copper).
  subroutine silver_copper_run()
    integer(ik) :: ierr
    call ELVAR_NEWRUN('fhost-agcu')
    call ELVAR_ADDCMP('AGL', 'AG:LIQU', 'Ag')
    call ELVAR_ADDCMP('CUL', 'CU:LIQU', 'Cu')
    call ELVAR_ADDCMP('AGS', 'AG:S1', 'Ag')
    call ELVAR_ADDCMP('CUS', 'CU:S1', 'Cu')
    call ELVAR_ADDOPT('EQCORE', ' ')
    call ELVAR_START(ierr)
    call require(ierr, 'Ag-Cu run')
    call use_data_file('ag-cu-example.dat')

    call monitor('agcu_406', 406_ik, [1_ik, 2_ik], 1400.0_rk, [0.6_rk, 0.4_rk], 4)
    call started_state(4)
    call monitor('agcu_410', 410_ik, [1_ik, 2_ik], 1400.0_rk, [0.6_rk, 0.4_rk], 4)
    call monitor('agcu_426', 426_ik, [3_ik, 4_ik], 1000.0_rk, [0.5_rk, 0.5_rk], 4)

    ! The alloy at 1000 K over two outlets; the temperature at which Cu(s)
    ! is about to form from the liquid, between 900 and 1400 K.
    call block('agcu_block1', 'B1', 1_ik, 1000.0_rk, 0.0_rk, 2)
    call block('agcu_block3', 'B2', 3_ik, 900.0_rk, 1400.0_rk, 1)
    call ELVAR_ENDRUN()
  end subroutine

  ! Property `code` of the components `list` at mole fractions `x`, T and
  ! 1 atm, with the first derivative asked for; PROP has 3 NCOMP words.
  subroutine monitor(label, code, list, t, x, ncomp)
    character(len=*), intent(in) :: label
    integer(ik), intent(in) :: code, list(:)
    real(rk), intent(in) :: t, x(:)
    integer, intent(in) :: ncomp
    real(rk), allocatable :: prop(:), xmol(:), unused(:)
    integer(ik), allocatable :: iclist(:), ireq(:)
    integer(ik) :: ierr
    integer :: n
    n = size(list)
    call ELVAR_PROPRQ(int(n, ik), 4_ik, ierr)
    call require(ierr, label)
    call guarded_real(prop, 3 * ncomp, -777.25_rk)
    call guarded_real(xmol, n, 0.0_rk)
    xmol(ng + 1:ng + n) = x
    call guarded_int(iclist, n, 0_ik)
    iclist(ng + 1:ng + n) = list
    call guarded_int(ireq, 4, 0_ik)
    ireq(ng + 1:ng + 4) = [1_ik, 1_ik, 0_ik, 0_ik]
    call guarded_real(unused, 5, -777.25_rk)

    call EQLINK_MDMON8(code, iclist(ng + 1), t, 101325.0_rk, unused(ng + 1), xmol(ng + 1), &
      unused(ng + 2), ireq(ng + 1), unused(ng + 3), unused(ng + 4), unused(ng + 5), prop(ng + 1))

    call expect_all(label, prop(ng + 1:ng + 3 * ncomp))
    call guards_intact(prop, label // ' PROP')
    call guards_intact(xmol, label // ' XMOL')
    call guards_intact(iclist, label // ' ICLIST')
    call guards_intact(ireq, label // ' IREQ')
    call check(all(unused(ng + 1:ng + 5) == -777.25_rk), label // ': an unused argument was written')
  end subroutine

  ! After the first call the plug-in has started: its flag in the host's
  ! block, and EQLINK_CONFIG and the component map in EQLINK_ELVCA, every
  ! field read through the COMMON blocks (a field out of place shows here).
  subroutine started_state(ncomp)
    integer, intent(in) :: ncomp
    integer(ik) :: p, noerr
    integer :: r
    character(len=24) :: name
    call check(btest(started_words(1), 0), 'the started flag LSTART is not set')
    call expect_text('filen', 0, eqlink_filen)
    call expect('ldebug', 0, merge(1.0_rk, 0.0_rk, btest(transfer(ldebug, 0_ik), 0)))
    call expect('nph', 0, real(nph, rk))
    call expect('nmap', 0, real(nmap, rk))
    do r = 1, int(nmap)
      call expect_all('map', real(map(:, r), rk))
    end do
    call check(all(map(:, nmap + 1:) == 0), 'MAP records beyond NMAP are not zero')
    call expect_all('mwfac', mwfac(1:ncomp))
    do p = 1, nph
      call expect_text('phname', int(p), phname(p))
    end do
    call expect_all('nphcmp', real(nphcmp(1:nph), rk))
    call expect('ndict', 0, real(ndict, rk))
    call expect_all('idtype', real(idtype(1:ndict), rk))
    do r = 1, int(ndict)
      call expect_text('dcode', r, dcode(r))
      call expect_text('dname', r, dname(r))
    end do
    ! The phase names the plug-in stored are the engine's, asked from here.
    do p = 1, nph
      call PPSTUB_ECPNM(p, name, noerr)
      call check(noerr == 0 .and. name == phname(p), 'PHNAME(p) is not the engine''s name ' // name)
    end do
  end subroutine

  ! The block on one inlet of 0.6 mmol/s Ag(s) and 0.4 mmol/s Cu(s) at
  ! 298.15 K, with a mixed and a conventional-solid substream; `t1`, `t2`
  ! are RPAR(2), RPAR(3) (the temperature of type 1, the limits of type 3).
  subroutine block(label, id, kind, t1, t2, noutlt)
    character(len=*), intent(in) :: label, id
    integer(ik), intent(in) :: kind
    real(rk), intent(in) :: t1, t2
    integer, intent(in) :: noutlt
    integer, parameter :: ncomp = 4, nsub = 2, lstrm = nsub * (ncomp + 9)
    character(len=70) :: products(4), field
    real(rk), allocatable :: sinlet(:), htin(:), soutlt(:), htout(:), rpar(:), spare(:)
    integer(ik), allocatable :: ipar(:)
    integer(ik) :: ierr, optset, count, length
    real(rk) :: inlet(lstrm)

    products = [character(len=70) :: 'CU(S)', 'AGL', 'CUL', 'AG(S)']
    call ELVAR_BLOCK(id, 4_ik, 4_ik, products, ierr)
    call require(ierr, label)
    ! The product list as the plug-in will read it.
    call USRUTL_NUMSTR(count)
    call USRUTL_GETCSTR(4_ik, field, length)
    call check(count == 4 .and. field == 'AG(S)' .and. length == 5, label // ': product list')
    call ELVAR_OPTSET('EQCORE', optset, ierr)
    call require(ierr, label)

    inlet(1:ncomp + 9) = substream([0.0_rk, 0.0_rk, 0.0_rk, 0.0_rk], 298.15_rk)
    inlet(ncomp + 10:lstrm) = substream([0.0_rk, 0.0_rk, 0.0006_rk, 0.0004_rk], 298.15_rk)
    call guarded_real(sinlet, lstrm, 0.0_rk)
    sinlet(ng + 1:ng + lstrm) = inlet
    call guarded_real(htin, 1, 0.0_rk)
    call guarded_real(soutlt, noutlt * lstrm, 0.0_rk)
    call guarded_real(htout, 1, 0.0_rk)
    call guarded_int(ipar, 4, 0_ik)
    ipar(ng + 1:ng + 4) = [kind, 4_ik, 0_ik, 0_ik]
    call guarded_real(rpar, 4, 0.0_rk)
    rpar(ng + 1:ng + 4) = [101325.0_rk, t1, t2, 0.0_rk]
    call guarded_real(spare, 13, -777.25_rk)

    call EQLINK_CATOP(1_ik, sinlet(ng + 1), 0_ik, htin(ng + 1), int(noutlt, ik), soutlt(ng + 1), &
      1_ik, htout(ng + 1), spare(ng + 1), spare(ng + 2), spare(ng + 3), spare(ng + 4), &
      int(lstrm, ik), int(nsub, ik), [1_ik, int(ncomp + 10, ik)], [1_ik, 2_ik], 4_ik, ipar(ng + 1), &
      4_ik, rpar(ng + 1), spare(ng + 5), spare(ng + 6), optset, spare(ng + 7), spare(ng + 8), &
      spare(ng + 9), spare(ng + 10), spare(ng + 11), spare(ng + 12), spare(ng + 13), &
      [int(lstrm, ik), int(nsub, ik), 0_ik, 0_ik])

    call expect_all(label // '_soutlt', soutlt(ng + 1:ng + noutlt * lstrm))
    call expect_all(label // '_htout', htout(ng + 1:ng + 1))
    call expect_all(label // '_rpar', rpar(ng + 1:ng + 4))
    call check(all(sinlet(ng + 1:ng + lstrm) == inlet), label // ': the inlet was changed')
    call check(all(ipar(ng + 1:ng + 4) == [kind, 4_ik, 0_ik, 0_ik]), label // ': IPAR was changed')
    call guards_intact(sinlet, label // ' SINLET')
    call guards_intact(htin, label // ' HTIN')
    call guards_intact(soutlt, label // ' SOUTLT')
    call guards_intact(htout, label // ' HTOUT')
    call guards_intact(ipar, label // ' IPAR')
    call guards_intact(rpar, label // ' RPAR')
    call check(all(spare(ng + 1:ng + 13) == -777.25_rk), label // ': an unused argument was written')
  end subroutine

  ! A substream of a host stream vector with these flows (kmol/s) at T and
  ! 1 atm: the total, and the mean molecular weight from the host's service;
  ! everything else missing.
  function substream(flows, t) result(s)
    real(rk), intent(in) :: flows(:), t
    real(rk) :: s(size(flows) + 9), total, x(size(flows)), mw
    integer(ik) :: idx(size(flows)), n
    integer :: k
    total = 0.0_rk
    do k = 1, size(flows)
      total = total + flows(k)
    end do
    n = 0
    do k = 1, size(flows)
      if (flows(k) > 0.0_rk) then
        n = n + 1
        idx(n) = k
        x(n) = flows(k) / total
      end if
    end do
    mw = rmiss
    if (total > 0.0_rk) mw = PPUTL_AVEMW(n, idx, x)
    s = rmiss
    s(1:size(flows)) = flows
    s(size(flows) + 1:size(flows) + 3) = [total, t, 101325.0_rk]
    s(size(flows) + 9) = mw
  end function

  ! ---------------------------------------------------------------------
  ! Methane and hydrogen in air on the C-H-O-N data: eleven gas components.
  subroutine methane_air_run()
    integer, parameter :: ncomp = 11
    ! Components: CH4 O2 N2 CO2 CO H2O H2 OH H O NO
    real(rk) :: reactions(ncomp, 7), every(ncomp, 1), feed(ncomp + 9)
    integer(ik) :: ierr, chemistry1, chemistry2
    reactions = 0.0_rk
    reactions(1:6, 1) = [-1.0_rk, -2.0_rk, 0.0_rk, 1.0_rk, 0.0_rk, 2.0_rk]  ! CH4 + 2 O2 = CO2 + 2 H2O
    reactions([2, 4, 5], 2) = [-0.5_rk, 1.0_rk, -1.0_rk]                    ! CO + O2/2 = CO2
    reactions([2, 6, 7], 3) = [-0.5_rk, 1.0_rk, -1.0_rk]                    ! H2 + O2/2 = H2O
    reactions([2, 7, 8], 4) = [-1.0_rk, 1.0_rk, -2.0_rk]                    ! 2 OH = H2 + O2
    reactions([7, 9], 5) = [1.0_rk, -2.0_rk]                                ! 2 H = H2
    reactions([2, 10], 6) = [1.0_rk, -2.0_rk]                               ! 2 O = O2
    reactions([2, 3, 11], 7) = [1.0_rk, 1.0_rk, -2.0_rk]                    ! 2 NO = N2 + O2
    every = 1.0_rk

    call ELVAR_NEWRUN('fhost-chon')
    call ELVAR_ADDCMP('CH4', 'CH4:G1', 'CH4')
    call ELVAR_ADDCMP('O2', 'O2:G1', 'O2')
    call ELVAR_ADDCMP('N2', 'N2:G1', 'N2')
    call ELVAR_ADDCMP('CO2', 'CO2:G1', 'CO2')
    call ELVAR_ADDCMP('CO', 'CO:G1', 'CO')
    call ELVAR_ADDCMP('H2O', 'H2O:G1', 'H2O')
    call ELVAR_ADDCMP('H2', 'H2:G1', 'H2')
    call ELVAR_ADDCMP('OH', 'OH:G1', 'OH')
    call ELVAR_ADDCMP('H', 'H:G1', 'H')
    call ELVAR_ADDCMP('O', 'O:G1', 'O')
    call ELVAR_ADDCMP('NO', 'NO:G1', 'NO')
    call ELVAR_ADDCHM(7_ik, reactions, ierr)
    call require(ierr, 'chemistry 1')
    call ELVAR_ADDCHM(1_ik, every, ierr)
    call require(ierr, 'chemistry 2')
    call ELVAR_START(ierr)
    call require(ierr, 'C-H-O-N run')
    call use_data_file('c-h-o-n.dat')
    call ELVAR_CHEMID(1_ik, chemistry1, ierr)
    call require(ierr, 'chemistry 1')
    call ELVAR_CHEMID(2_ik, chemistry2, ierr)
    call require(ierr, 'chemistry 2')

    ! Methane in air: the feed's state at 298.15 K (a TP flash without
    ! chemistry, as the host brings a stream it is given to its state), then
    ! a TP flash at 1200 K with the chemistry's equations.
    feed = substream([0.1_rk, 0.2_rk, 0.752_rk, 0.0_rk, 0.0_rk, 0.0_rk, 0.0_rk, 0.0_rk, 0.0_rk, &
      0.0_rk, 0.0_rk], 298.15_rk)
    feed(ncomp + 4) = 0.0_rk
    call flash('chon_feed1', feed, 2_ik, 0_ik, 298.15_rk, 0.0_rk)
    call flash('chon_tp', feed, 2_ik, chemistry1, 1200.0_rk, 0.0_rk)
    call started_state(ncomp)

    ! Hydrogen in air preheated to 1000 K burnt adiabatically: a PQ flash
    ! with every component in the chemistry.
    feed = substream([0.0_rk, 0.1_rk, 0.376_rk, 0.0_rk, 0.0_rk, 0.0_rk, 0.2_rk, 0.0_rk, 0.0_rk, &
      0.0_rk, 0.0_rk], 1000.0_rk)
    feed(ncomp + 4) = 0.0_rk
    call flash('chon_feed2', feed, 2_ik, 0_ik, 1000.0_rk, 0.0_rk)
    call flash('chon_pq', feed, 1_ik, chemistry2, rmiss, 0.0_rk)
    call ELVAR_ENDRUN()
  end subroutine

  ! A flash of the one-substream stream `strvec` (replaced by the flashed
  ! stream): KODE 2 at T, or KODE 1 with the duty; chemistry identifier
  ! `chem` (0: none); 1 atm.
  subroutine flash(label, strvec, kode, chem, t, duty)
    character(len=*), intent(in) :: label
    real(rk), intent(inout) :: strvec(:)
    integer(ik), intent(in) :: kode, chem
    real(rk), intent(in) :: t, duty
    real(rk), allocatable :: s(:), spare(:)
    integer(ik), allocatable :: ids(:)
    integer(ik) :: ierr, npkode, ker
    integer :: n, w
    n = size(strvec)
    if (kode == 1) then
      call ELVAR_FLASHC(t, 101325.0_rk, duty, ierr)
    else
      call ELVAR_FLASHC(t, 101325.0_rk, rmiss, ierr)
    end if
    call require(ierr, label)
    call guarded_real(s, n, 0.0_rk)
    s(ng + 1:ng + n) = strvec
    call guarded_int(ids, 3, 0_ik)
    ids(ng + 3) = chem
    call guarded_real(spare, 3, -777.25_rk)
    npkode = 2
    ker = -99

    call EQLINK_CAFLSH(s(ng + 1), 1_ik, [1_ik], [1_ik], ids(ng + 1), kode, npkode, 1_ik, 0_ik, &
      1.0e-6_rk, 4_ik, 4_ik, spare(ng + 1), spare(ng + 2), spare(ng + 3), ker)

    call expect(label // '_ker', 0, real(ker, rk))
    call expect(label // '_npkode', 0, real(npkode, rk))
    call expect_all(label // '_strvec', s(ng + 1:ng + n))
    ! The flash's results in the host's work areas.
    do w = 3, 5
      call expect(label // '_stwkwk', w, real(flash_work(w), rk))
    end do
    do w = 19, 23
      call expect(label // '_stwkwk', w, real_word(flash_work(w)))
    end do
    do w = 47, 63
      call expect(label // '_stwork', w, real_word(stream_work(w)))
    end do
    call guards_intact(s, label // ' STRVEC')
    call guards_intact(ids, label // ' IDS')
    call check(all(spare(ng + 1:ng + 3) == -777.25_rk), label // ': an unused argument was written')
    strvec = s(ng + 1:ng + n)
  end subroutine

end program fortran_host
