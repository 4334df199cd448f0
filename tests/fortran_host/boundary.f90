! What this Fortran host program shares with the EQLINK plug-in, the host
! stand-in library and the engine: the plug-in's shared blocks as named
! COMMON blocks with the plug-in's layouts, the host blocks the program reads,
! and the interfaces of every routine it calls. All integers and reals are of
! 8 bytes; character arguments pass their lengths hidden, as the compiler
! does for any Fortran call.
module boundary
  use iso_fortran_env, only: int64, real64
  implicit none
  public

  integer, parameter :: ik = int64, rk = real64
  real(rk), parameter :: rmiss = 1.0e35_rk  ! the host's missing real

  ! EQLINK_CONFIG: written by the host, read by the plug-in.
  character(len=256) :: eqlink_filen  ! data file
  logical(ik) :: ldebug               ! trace switch
  common /eqlink_config/ eqlink_filen, ldebug

  ! EQLINK_ELVCA: the component map, written by the plug-in's start-up.
  real(rk) :: mwfac(1500)
  character(len=24) :: phname(1500)
  character(len=12) :: mapfrm(1500)
  integer(ik) :: nph, nmap, map(5, 1500), nphcmp(1500), elvca_unused, ndict, idtype(200)
  character(len=4) :: dcode(200)
  character(len=24) :: dname(200)
  common /eqlink_elvca/ mwfac, phname, mapfrm, nph, nmap, map, nphcmp, elvca_unused, ndict, &
    idtype, dcode, dname

  ! Host blocks of the stand-in, word by word: DMS_EQLINK word 1 is the
  ! started flag; DMS_STWKWK and SHS_STWORK the flash work areas (integer
  ! and real words; a real word is read with TRANSFER).
  integer(ik) :: started_words(4)
  common /dms_eqlink/ started_words
  integer(ik) :: flash_work(64)
  common /dms_stwkwk/ flash_work
  integer(ik) :: stream_work(96)
  common /shs_stwork/ stream_work

  interface
    ! --- the plug-in's entry points ---------------------------------------
    subroutine EQLINK_MDMON8(kprop, iclist, temp, pres, arg5, xmol, arg7, ireq, arg9, arg10, &
        arg11, prop)
      import :: ik, rk
      integer(ik), intent(in) :: kprop, iclist(*), ireq(*)
      real(rk), intent(in) :: temp, pres, xmol(*)
      real(rk), intent(inout) :: arg5(*), arg7(*), arg9(*), arg10(*), arg11(*), prop(*)
    end subroutine

    subroutine EQLINK_CAFLSH(strvec, nsubs, lpb, itype, ids, kode, npkode, kphase, rfctl, tol, &
        kdiag, kpdiag, arg13, arg14, arg15, ker)
      import :: ik, rk
      real(rk), intent(inout) :: strvec(*), arg13(*), arg14(*), arg15(*)
      integer(ik), intent(in) :: nsubs, lpb(*), itype(*), ids(*), kode, kphase, rfctl, kdiag, kpdiag
      integer(ik), intent(inout) :: npkode
      real(rk), intent(in) :: tol
      integer(ik), intent(out) :: ker
    end subroutine

    subroutine EQLINK_CATOP(ninlet, sinlet, nhtin, htin, noutlt, soutlt, nhtout, htout, a9, a10, &
        a11, a12, lstrm, nsub, subpos, subtyp, nipar, ipar, nrpar, rpar, a21, a22, optset, a24, &
        a25, a26, a27, a28, a29, a30, strdsc)
      import :: ik, rk
      integer(ik), intent(in) :: ninlet, nhtin, noutlt, nhtout, lstrm, nsub, subpos(*), subtyp(*), &
        nipar, ipar(*), nrpar, optset, strdsc(*)
      real(rk), intent(in) :: sinlet(*), htin(*)
      real(rk), intent(inout) :: soutlt(*), htout(*), rpar(*)
      real(rk), intent(inout) :: a9(*), a10(*), a11(*), a12(*), a21(*), a22(*), a24(*), a25(*), &
        a26(*), a27(*), a28(*), a29(*), a30(*)
    end subroutine

    ! --- host services of the stand-in -----------------------------------
    function PPUTL_AVEMW(n, idx, x) result(mw)
      import :: ik, rk
      integer(ik), intent(in) :: n, idx(*)
      real(rk), intent(in) :: x(*)
      real(rk) :: mw
    end function

    subroutine USRUTL_NUMSTR(count)
      import :: ik
      integer(ik), intent(out) :: count
    end subroutine

    subroutine USRUTL_GETCSTR(i, field, length)
      import :: ik
      integer(ik), intent(in) :: i
      character(len=*), intent(out) :: field
      integer(ik), intent(out) :: length
    end subroutine

    ! --- setting the run up (the stand-in's Fortran set-up routines) -----
    subroutine ELVAR_NEWRUN(case_name)
      character(len=*), intent(in) :: case_name
    end subroutine

    subroutine ELVAR_ADDCMP(id, name, formula)
      character(len=*), intent(in) :: id, name, formula
    end subroutine

    subroutine ELVAR_ADDOPT(name, base)
      character(len=*), intent(in) :: name, base
    end subroutine

    subroutine ELVAR_ADDCHM(neq, coef, ierr)
      import :: ik, rk
      integer(ik), intent(in) :: neq
      real(rk), intent(in) :: coef(*)
      integer(ik), intent(out) :: ierr
    end subroutine

    subroutine ELVAR_START(ierr)
      import :: ik
      integer(ik), intent(out) :: ierr
    end subroutine

    subroutine ELVAR_ENDRUN()
    end subroutine

    subroutine ELVAR_OPTSET(name, id, ierr)
      import :: ik
      character(len=*), intent(in) :: name
      integer(ik), intent(out) :: id, ierr
    end subroutine

    subroutine ELVAR_CHEMID(k, id, ierr)
      import :: ik
      integer(ik), intent(in) :: k
      integer(ik), intent(out) :: id, ierr
    end subroutine

    subroutine ELVAR_PROPRQ(nlist, msglev, ierr)
      import :: ik
      integer(ik), intent(in) :: nlist, msglev
      integer(ik), intent(out) :: ierr
    end subroutine

    subroutine ELVAR_FLASHC(t, p, duty, ierr)
      import :: ik, rk
      real(rk), intent(in) :: t, p, duty
      integer(ik), intent(out) :: ierr
    end subroutine

    subroutine ELVAR_BLOCK(id, level, nprod, products, ierr)
      import :: ik
      character(len=*), intent(in) :: id
      integer(ik), intent(in) :: level, nprod
      character(len=*), intent(in) :: products(*)
      integer(ik), intent(out) :: ierr
    end subroutine

    subroutine ELVAR_ERRTXT(text)
      character(len=*), intent(out) :: text
    end subroutine

    ! --- the engine's entry points ----------------------------------------
    subroutine PPSTUB_ECPNM(phase, name, noerr)
      import :: ik
      integer(ik), intent(in) :: phase
      character(len=*), intent(out) :: name
      integer(ik), intent(out) :: noerr
    end subroutine
  end interface

end module boundary
