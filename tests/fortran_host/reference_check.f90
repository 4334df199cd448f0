! Checks of the Fortran host: values compared with those the C++ host
! stand-in got for the same calls (a file of "label index value" lines, read
! in step with the calls made here), plain conditions, and guard elements
! around every array handed to the plug-in, which must come back untouched.
module reference_check
  use boundary, only: ik, rk
  implicit none
  private
  public :: open_reference, close_reference, expect, expect_all, expect_text, check, failures
  public :: ng, guarded_real, guarded_int, guards_intact

  ! Guard elements before and after each array passed: NG words of these.
  integer, parameter :: ng = 4
  real(rk), parameter :: guard_real = -7.0e77_rk
  integer(ik), parameter :: guard_int = -7777777_ik
  real(rk), parameter :: tolerance = 1.0e-12_rk

  integer :: ref_unit = -1
  integer :: failures = 0

  interface guards_intact
    module procedure guards_intact_real, guards_intact_int
  end interface

contains

  subroutine open_reference(path)
    character(len=*), intent(in) :: path
    integer :: ios
    open(newunit=ref_unit, file=path, status='old', action='read', iostat=ios)
    if (ios /= 0) then
      write(*, '(a)') 'cannot open the reference values ' // trim(path)
      error stop 2
    end if
  end subroutine

  ! Every value of the reference file must have been compared.
  subroutine close_reference()
    character(len=64) :: label
    integer :: ios
    read(ref_unit, *, iostat=ios) label
    if (ios == 0) call fail('reference value "' // trim(label) // '" was not compared')
    close(ref_unit)
  end subroutine

  subroutine fail(what)
    character(len=*), intent(in) :: what
    failures = failures + 1
    write(*, '(a)') 'FAILED: ' // what
  end subroutine

  subroutine check(ok, what)
    logical, intent(in) :: ok
    character(len=*), intent(in) :: what
    if (.not. ok) call fail(what)
  end subroutine

  ! The next reference value must carry this label and index, and equal
  ! `got` to 1e-12 relative. A label out of step ends the program: every
  ! later comparison would be meaningless.
  subroutine expect(label, index, got)
    character(len=*), intent(in) :: label
    integer, intent(in) :: index
    real(rk), intent(in) :: got
    character(len=64) :: ref_label
    integer :: ref_index, ios
    real(rk) :: ref
    character(len=200) :: line
    read(ref_unit, *, iostat=ios) ref_label, ref_index, ref
    if (ios /= 0 .or. ref_label /= label .or. ref_index /= index) then
      write(line, '(a, i0, a)') 'reference out of step at ' // label // ' ', index, &
        ', the file has ' // trim(ref_label)
      call fail(trim(line))
      error stop 1
    end if
    if (.not. (got == ref .or. abs(got - ref) <= tolerance * max(abs(got), abs(ref)))) then
      write(line, '(a, i0, a, es25.17, a, es25.17)') label // ' ', index, ': ', got, &
        ', the C++ host got ', ref
      call fail(trim(line))
    end if
  end subroutine

  ! The next reference value is a text (quoted in the file) equal to `got`
  ! without its trailing blanks.
  subroutine expect_text(label, index, got)
    character(len=*), intent(in) :: label, got
    integer, intent(in) :: index
    character(len=64) :: ref_label
    character(len=512) :: ref
    integer :: ref_index, ios
    read(ref_unit, *, iostat=ios) ref_label, ref_index, ref
    if (ios /= 0 .or. ref_label /= label .or. ref_index /= index) then
      call fail('reference out of step at ' // label // ', the file has ' // trim(ref_label))
      error stop 1
    end if
    if (trim(got) /= trim(ref)) &
      call fail(label // ': "' // trim(got) // '", the C++ host got "' // trim(ref) // '"')
  end subroutine

  subroutine expect_all(label, got)
    character(len=*), intent(in) :: label
    real(rk), intent(in) :: got(:)
    integer :: i
    do i = 1, size(got)
      call expect(label, i, got(i))
    end do
  end subroutine

  ! An array of n values with its guards, all set to `fill`, the guards to
  ! the guard value; pass a(ng + 1) to the callee.
  subroutine guarded_real(a, n, fill)
    real(rk), allocatable, intent(out) :: a(:)
    integer, intent(in) :: n
    real(rk), intent(in) :: fill
    allocate(a(n + 2 * ng))
    a = guard_real
    a(ng + 1:ng + n) = fill
  end subroutine

  subroutine guarded_int(a, n, fill)
    integer(ik), allocatable, intent(out) :: a(:)
    integer, intent(in) :: n
    integer(ik), intent(in) :: fill
    allocate(a(n + 2 * ng))
    a = guard_int
    a(ng + 1:ng + n) = fill
  end subroutine

  subroutine guards_intact_real(a, what)
    real(rk), intent(in) :: a(:)
    character(len=*), intent(in) :: what
    integer :: n
    n = size(a)
    call check(all(a(1:ng) == guard_real) .and. all(a(n - ng + 1:n) == guard_real), &
      'something was written outside ' // what)
  end subroutine

  subroutine guards_intact_int(a, what)
    integer(ik), intent(in) :: a(:)
    character(len=*), intent(in) :: what
    integer :: n
    n = size(a)
    call check(all(a(1:ng) == guard_int) .and. all(a(n - ng + 1:n) == guard_int), &
      'something was written outside ' // what)
  end subroutine

end module reference_check
