! Writes the table of formatted values that the formatting tests compare
! against: one line per (edit descriptor, value), as
!   <descriptor> <value> [<characters written>]
! Reals are given by Z and the 16 hex digits of their bit pattern, so that
! the value read back is exactly the one formatted here; integers in decimal;
! texts between brackets. "LIST" is list-directed output of one item;
! "RECORD n" the whole record of the n-th list-directed WRITE of mixed
! items below (the tests build the same records).
! Each item is written to a scratch file and read back with its exact length,
! so that trailing blanks are kept.
program format_table
  implicit none
  integer, parameter :: dp = kind(1.0d0), i8 = selected_int_kind(18)
  character(len=12), parameter :: real_descriptors(*) = [character(len=12) :: &
      'F1.0', 'F2.0', 'F3.0', 'F4.0', 'F2.1', 'F3.1', 'F4.1', 'F3.2', 'F4.2', 'F5.2', 'F6.2', &
      'F8.3', 'F10.3', 'F10.5', 'F12.6', 'F19.5', 'F25.17', 'F30.20', 'F0.0', 'F0.2', 'F0.5', &
      'E6.1', 'E7.1', 'E8.1', 'E9.2', 'E10.3', 'E11.4', 'E12.4', 'E12.5', 'E15.6', 'E16.8', &
      'E24.16', 'E10.3E3', 'E12.4E3', 'E11.4E1', 'E9.3E2', 'E13.5E4', &
      'ES6.1', 'ES7.1', 'ES8.0', 'ES9.2', 'ES10.3', 'ES12.5', 'ES15.6', 'ES25.16', 'ES12.4E3', &
      'LIST']
  character(len=12), parameter :: int_descriptors(*) = [character(len=12) :: &
      'I1', 'I2', 'I3', 'I5', 'I8', 'I20', 'I5.3', 'I5.5', 'I6.5', 'I5.0', 'I3.0', 'I1.0', 'I0', &
      'I0.3', 'I0.0', 'LIST']
  character(len=12), parameter :: text_descriptors(*) = [character(len=12) :: &
      'A1', 'A3', 'A5', 'A8', 'A12']
  character(len=8), parameter :: texts(*) = [character(len=8) :: 'CAST', 'CASTRT', 'EQDATA', 'X']
  integer, parameter :: text_lengths(*) = [4, 6, 6, 1]
  real(dp) :: reals(70), zero, inf, nan
  integer(i8) :: ints(24)
  integer :: nreal, i, j, u

  zero = 0.0_dp
  inf = huge(1.0_dp)
  inf = inf * 10.0_dp
  nan = inf - inf
  nreal = 0
  call add(0.0_dp);  call add(-zero);  call add(1.0_dp);  call add(-1.0_dp)
  call add(0.5_dp);  call add(-0.5_dp);  call add(0.125_dp);  call add(0.375_dp)
  call add(2.5_dp);  call add(1.5_dp);  call add(-2.5_dp);  call add(0.05_dp)
  call add(0.1_dp);  call add(0.09999999999999999_dp);  call add(0.099999999999999999_dp)
  call add(0.95_dp);  call add(0.995_dp);  call add(0.9995_dp);  call add(9.995_dp)
  call add(9.9999_dp);  call add(99.5_dp);  call add(999.5_dp);  call add(123.456_dp)
  call add(-123.456_dp);  call add(1234.5678_dp);  call add(1.0e5_dp);  call add(1.0e10_dp)
  call add(1.0e15_dp);  call add(1.0e16_dp);  call add(1.0e17_dp);  call add(99999999999999990.0_dp)
  call add(9.999999999999999e15_dp);  call add(1.0e22_dp);  call add(1.0e100_dp)
  call add(1.0e-100_dp);  call add(1.234567e-100_dp);  call add(9.9999e99_dp)
  call add(9.99999e-100_dp);  call add(9.9999e-100_dp);  call add(1.0e300_dp);  call add(-1.0e300_dp)
  call add(huge(1.0_dp));  call add(tiny(1.0_dp));  call add(-tiny(1.0_dp))
  call add(4.9406564584124654e-324_dp);  call add(1.0e-5_dp);  call add(1.0e-10_dp)
  call add(3.14159265358979_dp);  call add(-2.718281828459045_dp);  call add(298.15_dp)
  call add(101325.0_dp);  call add(8.314462618_dp);  call add(1.0_dp / 3.0_dp)
  call add(2.0_dp / 3.0_dp);  call add(0.001_dp);  call add(-0.001_dp);  call add(0.0049999_dp)
  call add(0.005_dp);  call add(0.015_dp);  call add(6.02214076e23_dp);  call add(1.602e-19_dp)
  call add(-1.0e-99_dp);  call add(0.5e-99_dp);  call add(inf);  call add(-inf);  call add(nan)
  call add(-99999.5_dp);  call add(1.0e-310_dp)

  ints = [0_i8, 1_i8, -1_i8, 7_i8, -7_i8, 9_i8, 10_i8, 99_i8, -99_i8, 100_i8, -100_i8, &
          999_i8, 12345_i8, -12345_i8, 99999_i8, -9999_i8, 123456_i8, 2147483647_i8, &
          -2147483648_i8, 1000000000000_i8, 99999999999999999_i8, huge(1_i8), -huge(1_i8), &
          -huge(1_i8) - 1_i8]

  open(newunit=u, status='scratch', form='formatted', access='sequential')
  do i = 1, size(real_descriptors)
    do j = 1, nreal
      call put_real(real_descriptors(i), reals(j))
    end do
  end do
  do i = 1, size(int_descriptors)
    do j = 1, size(ints)
      call put_int(int_descriptors(i), ints(j))
    end do
  end do
  do i = 1, size(text_descriptors)
    do j = 1, size(texts)
      call put_text(text_descriptors(i), texts(j)(1:text_lengths(j)))
    end do
  end do
  rewind(u)
  write(u, *) ' ncc=', 5_i8, '   nph=', -3_i8, 'x', 'y'
  call put_record(1)
  write(u, *) ' DUTY STWKWK_QCALC =', 1234.5_dp
  call put_record(2)
  write(u, *) 1234.5_dp, 5_i8, 'abc', 1234.5_dp
  call put_record(3)
  write(u, *)
  call put_record(4)
  write(u, *) '', 5_i8
  call put_record(5)
  write(u, *) -1.0e-3_dp, 'z', 2_i8
  call put_record(6)
  close(u)

contains

  ! The record just written, read back whole.
  subroutine put_record(n)
    integer, intent(in) :: n
    character(len=4) :: label
    write(label, '(I0)') n
    write(*, '(A)') 'RECORD ' // trim(label) // ' [' // read_back() // ']'
  end subroutine

  subroutine add(x)
    real(dp), intent(in) :: x
    nreal = nreal + 1
    reals(nreal) = x
  end subroutine

  ! Writes the item alone in a record, reads the record back whole.
  function item_real(descriptor, x) result(s)
    character(len=*), intent(in) :: descriptor
    real(dp), intent(in) :: x
    character(len=:), allocatable :: s
    rewind(u)
    if (descriptor == 'LIST') then
      write(u, *) x
    else
      write(u, '(' // trim(descriptor) // ')') x
    end if
    s = read_back()
  end function

  function item_int(descriptor, k) result(s)
    character(len=*), intent(in) :: descriptor
    integer(i8), intent(in) :: k
    character(len=:), allocatable :: s
    rewind(u)
    if (descriptor == 'LIST') then
      write(u, *) k
    else
      write(u, '(' // trim(descriptor) // ')') k
    end if
    s = read_back()
  end function

  function read_back() result(s)
    character(len=:), allocatable :: s
    character(len=1000) :: buffer
    integer :: n
    rewind(u)
    read(u, '(A)', advance='no', size=n, eor=10) buffer
10  s = buffer(1:n)
    rewind(u)
  end function

  subroutine put_real(descriptor, x)
    character(len=*), intent(in) :: descriptor
    real(dp), intent(in) :: x
    character(len=16) :: bits
    write(bits, '(Z16.16)') transfer(x, 1_i8)
    write(*, '(A)') trim(descriptor) // ' Z' // bits // ' [' // item_real(descriptor, x) // ']'
  end subroutine

  subroutine put_int(descriptor, k)
    character(len=*), intent(in) :: descriptor
    integer(i8), intent(in) :: k
    character(len=24) :: value
    write(value, '(I0)') k
    write(*, '(A)') trim(descriptor) // ' ' // trim(value) // ' [' // item_int(descriptor, k) // ']'
  end subroutine

  subroutine put_text(descriptor, text)
    character(len=*), intent(in) :: descriptor, text
    rewind(u)
    write(u, '(' // trim(descriptor) // ')') text
    write(*, '(A)') trim(descriptor) // ' [' // text // '] [' // read_back() // ']'
  end subroutine

end program format_table
